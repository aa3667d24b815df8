// The CSV layouts the processing tests write.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "ProcessedData.h"

// Component 0 of a (component, row, column) array into amplitude, every other
// component into surface: per component and row one line of the column values,
// comma separated. False (nothing written) when the shape is not backed by data.
bool WriteComponentCsv(const ProcessedData& data, std::FILE* amplitude, std::FILE* surface);

// A square image of side x side values, stored column-major (value(h, m) at
// h * side + m): line m holds value(h, m) for every h, tab separated.
void WriteImageCsv(const std::vector<int64_t>& image, int side, std::FILE* out);
