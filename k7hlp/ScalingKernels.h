// Per-pixel loops of the two scalings. Each pixel needs one or two entries of
// a small table at a computed index; on this class of processor gathers cost
// more than single loads, so the kernels compute the indices of a group of
// pixels with vector operations and load the entries one by one. The AVX2
// kernel and the portable one (SSE2, plain C++ elsewhere) compute every pixel
// by the same float operations in the same order and agree bit for bit;
// `avx2` picks the kernel (the caller asks HasAvx2(), tests run both).
#pragma once

#include <cstddef>
#include <cstdint>

namespace k7hlp {

// At frame index h: the position, and the step up from frame h - 1 (0 at h = 0).
// Side by side so that one 8-byte load fetches both.
struct CounterEntry {
  float step;
  float position;
};

// Positions of frame indices through `frames` (>= 1) entries. False when a
// value is NaN or outside [0, frames - 1]; `out` then holds unspecified
// values, but no access left the table or the buffers.
bool PositionsFromCounter(const float* surface, size_t pixels, const CounterEntry* table, uint32_t frames, float* out,
                          bool avx2);

// One segment of a zTag table: slope, and x and z of its upper point. Four
// floats, so that one 16-byte load fetches it.
struct GridSegment {
  float slope;
  float x;
  float z;
  float unused;
};

// A zTag table laid out over an even grid of cells along x: at most one table
// point per cell, so a value finds its segment with one comparison against
// the point of its cell. `segment` holds, at 2 * cell + side, the segment a
// value below (side 0) or at or above (side 1) that point uses.
struct GridLookup {
  float first;     // x where cell 0 starts
  float perCell;   // cells per unit of x
  float lastCell;  // index of the last cell, as a float
  const float* point;  // per cell; +inf where the cell holds none
  const GridSegment* segment;
};

// The cell of a value: the same float operations for the grid's construction
// and per pixel. NaN goes to cell 0.
inline uint32_t GridCell(float c, float first, float perCell, float lastCell) {
  float f = (c - first) * perCell;
  f = f > 0.0f ? f : 0.0f;
  f = f < lastCell ? f : lastCell;
  return static_cast<uint32_t>(static_cast<int32_t>(f));  // f < 2^31: the grid is small
}

void PositionsFromGrid(const float* surface, size_t pixels, const GridLookup& grid, float* out, bool avx2);

namespace detail {
// The kernels work in blocks of pixels, one pass per step over small index
// arrays that stay in the first-level cache: the out-of-order core then
// overlaps the table loads of many pixels. They take whole blocks and return
// how many pixels they did.
constexpr size_t kScalingBlock = 256;
size_t PositionsFromCounterAvx2(const float* surface, size_t pixels, const CounterEntry* table, uint32_t frames,
                                float* out, bool* inside);
size_t PositionsFromGridAvx2(const float* surface, size_t pixels, const GridLookup& grid, float* out);
}  // namespace detail

}  // namespace k7hlp
