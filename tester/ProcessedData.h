// One processed acquisition copied out of its camera data record, with its shape.
#pragma once

#include <cstdint>
#include <vector>

#include "Orvex.h"

struct ProcessedData {
  std::vector<uint16_t> values;
  uint32_t dims[5] = {1, 1, 1, 1, 1};  // innermost first; unused dimensions are 1
  uint8_t numDim = 0;

  // Number of elements the shape spans over its first `count` dimensions, or 0
  // when that exceeds the data (a shape that the data cannot back is not read).
  uint64_t SpannedElements(int count) const;
};

// Copies the record's data (16-bit values) and the shape from meta.
ProcessedData CopyProcessedData(const _CamData& record, const _CamDataMeta& meta);
