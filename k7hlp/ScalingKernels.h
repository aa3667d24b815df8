// Per-pixel loops of the two scalings, each with a portable kernel and an
// AVX2 one (gathers). Both compute every pixel by the same float operations
// in the same order, so they agree bit for bit; `avx2` picks the kernel (the
// caller asks HasAvx2(), tests run both).
#pragma once

#include <cstddef>
#include <cstdint>

namespace k7hlp {

// The frame-centre table arranged so that a pixel needs one index and two
// loads: at frame h the position and the step up from frame h - 1 (0 at h = 0).
struct CounterLookup {
  const float* position;
  const float* step;
  uint32_t frames;  // >= 1
};

// Positions of frame indices. False when a value is NaN or outside
// [0, frames - 1]; `out` then holds unspecified values, but no access left
// the tables or the buffers.
bool PositionsFromCounter(const float* surface, size_t pixels, const CounterLookup& table, float* out, bool avx2);

// A zTag table laid out over an even grid of cells along x: at most one table
// point per cell, so a value finds its segment with one comparison against
// the point of its cell. `segment*` hold, at 2 * cell + side, the segment
// (slope, x, z of its upper point) a value below (side 0) or at or above
// (side 1) that point uses.
struct GridLookup {
  float first;     // x where cell 0 starts
  float perCell;   // cells per unit of x
  float lastCell;  // index of the last cell, as a float
  const float* point;  // per cell; +inf where the cell holds none
  const float* slope;
  const float* x;
  const float* z;
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
// The AVX2 kernels take whole groups of eight pixels and return how many they did.
size_t PositionsFromCounterAvx2(const float* surface, size_t pixels, const CounterLookup& table, float* out,
                                bool* inside);
size_t PositionsFromGridAvx2(const float* surface, size_t pixels, const GridLookup& grid, float* out);
}  // namespace detail

}  // namespace k7hlp
