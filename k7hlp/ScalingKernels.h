// Per-pixel loops of the two scalings. Each pixel needs one or two entries of
// a small table at a computed index. Surfaces are smooth, so the pixels of one
// vector mostly index a short stretch of the table: the wide kernels load that
// stretch whole and pick each lane's entry with a register permute, and take
// the entries one by one only for a vector spread wider than a stretch. All
// kernels compute every pixel by the same float operations in the same order
// (no fused multiply-add) and agree bit for bit; `kernel` picks one (the
// caller asks BestScalingKernel(), tests run every kernel this processor has).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace k7hlp {

// Each includes the instructions of the ones before it.
enum class ScalingKernel { kPortable, kAvx2, kAvx512 };

// The widest kernel this processor runs; never changes.
ScalingKernel BestScalingKernel();

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
                          ScalingKernel kernel);

// Cells a grid holds at least, so that the wide kernels may load a stretch of
// that many cells anywhere in it (the cells past the last one and the next are
// never used).
constexpr uint32_t kGridStretch = 32;

// Slope, x and z of a segment, in four floats.
struct GridSegment {
  float slope;
  float x;
  float z;
  float unused;
};

// A zTag table laid out over an even grid of cells along x: at most one table
// point per cell, so a value finds its segment with one comparison against
// the point of its cell. `slope`, `x` and `z` hold, per cell, the slope and
// the upper point of the segment a value below the cell's point uses; a value
// at or above it uses the next cell's (no point lies between the two), so
// the segment of a value is at cell + side and a stretch of cells is one
// contiguous run of each array.
struct GridLookup {
  float first;     // x where cell 0 starts
  float perCell;   // cells per unit of x
  float lastCell;  // index of the last cell, as a float
  uint32_t cells;  // cells held, at least kGridStretch
  const float* point;  // per cell; +inf where the cell holds none
  const float* slope;
  const float* x;
  const float* z;
  // The same segments whole, for the portable kernel (null when not laid
  // out): without register permutes, one 16-byte load and a transpose fetch
  // them faster than three single loads.
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

// The portable kernel goes pixel by pixel where `grid.segment` is null.
void PositionsFromGrid(const float* surface, size_t pixels, const GridLookup& grid, float* out, ScalingKernel kernel);

namespace detail {
// Where the wide kernels' run of `run` entries for a vector whose first and
// last lanes index `first` and `last` should start (at most `lastStart`), so
// that it serves the vectors that follow as well: on a surface falling across
// the vector it reaches down from the first lane, otherwise (rising, flat, or
// across a row end) up from the lower end. Two to spare on either side for a
// little noise.
inline uint32_t RunStartBetween(int32_t first, int32_t last, uint32_t run, uint32_t lastStart) {
  constexpr int32_t kSpare = 2;
  const bool falling = first > last && first - last < static_cast<int32_t>(run);
  const int32_t start = falling ? first + kSpare - static_cast<int32_t>(run - 1) : std::min(first, last) - kSpare;
  return std::min(static_cast<uint32_t>(std::max(start, 0)), lastStart);
}

// The kernels take whole vectors (the SSE2 ones whole blocks) and return how
// many pixels they did; the counter kernels clear `inside` when a value lies
// outside the table.
constexpr size_t kScalingBlock = 256;
size_t PositionsFromCounterAvx2(const float* surface, size_t pixels, const CounterEntry* table, uint32_t frames,
                                float* out, bool* inside);
size_t PositionsFromGridAvx2(const float* surface, size_t pixels, const GridLookup& grid, float* out);
size_t PositionsFromCounterAvx512(const float* surface, size_t pixels, const CounterEntry* table, uint32_t frames,
                                  float* out, bool* inside);
size_t PositionsFromGridAvx512(const float* surface, size_t pixels, const GridLookup& grid, float* out);
}  // namespace detail

}  // namespace k7hlp
