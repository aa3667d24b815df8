// The intensity image of TestC: per pixel the sum over the innermost
// component and over all frames, on a fixed 300 x 300 grid.
#pragma once

#include <cstdint>
#include <vector>

#include "ProcessedData.h"

constexpr int kIntensitySide = 300;

struct IntensityImage {
  // value(h, m) at h * kIntensitySide + m; pixels the data do not cover stay 0.
  std::vector<int64_t> values = std::vector<int64_t>(kIntensitySide * kIntensitySide, 0);
  // True when the data were larger than the grid and only its top-left
  // 300 x 300 part was summed.
  bool clipped = false;
  // False when the shape is not backed by the data; the image is then all 0.
  bool valid = false;
};

// Sums element a + d0*m + d0*d1*h + d0*d1*d2*b over a < d0 and b < d3.
IntensityImage BuildIntensityImage(const ProcessedData& data);

// image -= offset, pixel by pixel.
void SubtractOffset(IntensityImage& image, const IntensityImage& offset);
