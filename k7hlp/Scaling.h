// The two ways of turning frame units into position units.
#pragma once

#include <cstdint>
#include <vector>

#include "K7Hlp.h"
#include "Record.h"
#include "ZTagTable.h"

namespace k7hlp {

// Header fields that scaling reads (offsets in the 2048-byte camera header).
constexpr uint32_t kZTagsOffset = 32;
constexpr uint32_t kMaxZTags = 512;
constexpr uint32_t kFrmDurOffset = 2020;
constexpr uint32_t kNFramesOffset = 2040;
constexpr uint32_t kCamHeaderBytes = 2048;
constexpr uint32_t kPositionTableBytes = 2048;

// Through the position counter of the header; countScale in 1/1000 units.
// `out` has been reset and carries the input's meta; `reuse` is the sample
// block `out` held before, written into when it has the size of the result.
int ScaleByCounter(const K7Hlp_Data& in, K7Hlp_Data& out, uint32_t countScale, FloatBlock& reuse);
// Through a zTag table.
int ScaleByTable(const K7Hlp_Data& in, K7Hlp_Data& out, const std::vector<zTagItem>& table, FloatBlock& reuse);

// The pieces of counter scaling, exposed for tests.
// +1 or -1 from the first five samples, 0 when they do not tell.
int CountDirection(const uint16_t* samples);
// Unwrapped counter values, one per sample.
void UnwrapCounter(const uint16_t* samples, uint32_t n, int direction, float* unwrapped);
// Frame-centre positions in scale units from the unwrapped values (n >= 2).
void FrameCentres(const float* unwrapped, uint32_t n, uint32_t scale, float* table);

}  // namespace k7hlp
