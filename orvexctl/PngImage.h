// Float images written as false-colour PNG files with a colour scale bar.
#pragma once

#include <string>
#include <vector>

namespace orvexctl {

struct FloatImage {
  unsigned width = 0;
  unsigned height = 0;
  std::vector<float> values;  // row-major, width * height
};

// Maps [low, high] through a blue-to-red scale; non-finite values are black.
// A scale bar with the range runs along the bottom. False when writing fails.
bool WriteFalseColourPng(const std::string& path, const FloatImage& image, float low, float high);

// The 2nd and 98th percentile of the finite values (robust display range).
void DisplayRange(const FloatImage& image, float* low, float* high);

bool WriteCsv(const std::string& path, const FloatImage& image);

}  // namespace orvexctl
