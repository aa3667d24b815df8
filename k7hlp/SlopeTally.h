// One pass over the slope grid of an image that places each slope set
// around a bracket chosen from a sample: how many slopes order below it, and
// the slopes inside it. The slopes are computed on the fly and never stored.
#pragma once

#include <cstddef>

namespace k7hlp {

// Room past `capacity` that a wide kernel may write into (see RangeTally::inside).
constexpr size_t kKeepSlack = 8;

// Slopes at most `lo`, those equal to and below `mid`, and those strictly
// between `lo` and `hi` other than `mid` (lo < mid < hi, or mid NaN for
// none). The sample's middle value is counted, not kept: when many slopes
// share it (a flat image), it is often the median itself.
struct RangeTally {
  float lo = 0, mid = 0, hi = 0;
  size_t atMostLo = 0, belowMid = 0, equalMid = 0;
  // The slopes inside, in no particular order. `count` goes on past
  // `capacity` (values beyond it are dropped), so an overfull range shows.
  // The block holds capacity + kKeepSlack floats: a wide kernel may store
  // whole vectors while `count` is at most `capacity`.
  float* inside = nullptr;
  size_t capacity = 0, count = 0;
};

// Slopes below `at` and at most `at`: which ranks hold exactly that value.
struct PointTally {
  float at = 0;
  size_t below = 0, atMost = 0;
};

// What one pass tallies for one direction. NaN compares false both ways, so
// a NaN slope counts as ordered after every bracket.
struct DirectionTally {
  enum class Kind { kSkip, kPoint, kRange } kind = Kind::kSkip;
  PointTally point;
  RangeTally range;
};

inline void TallySlope(float slope, RangeTally& t) {
  t.atMostLo += slope <= t.lo;
  t.belowMid += slope < t.mid;
  t.equalMid += slope == t.mid;
  if (slope > t.lo && slope < t.hi && slope != t.mid) {
    if (t.count < t.capacity) t.inside[t.count] = slope;
    ++t.count;
  }
}

inline void TallySlope(float slope, PointTally& t) {
  t.below += slope < t.at;
  t.atMost += slope <= t.at;
}

// Slopes x0 <= x < across of one row against the pixels `step` floats on, one at a time.
template <class Tally>
void TallyRowTail(const float* row, size_t x0, size_t across, size_t step, Tally& t) {
  for (size_t x = x0; x < across; ++x) TallySlope(row[x] - row[x + step], t);
}

// The slope grid: slope (x, y) is image[x + width*y] minus the pixel
// `baseline` to the right (tally `alongX`) or below (tally `alongY`), for
// x < across, y < down.
struct SlopeGrid {
  const float* image;
  size_t width, across, down, baseline;
};

// Both kernels give the same tallies; the counts add to the ones given.
void TallySlopes(const SlopeGrid& grid, DirectionTally& alongX, DirectionTally& alongY);
void TallySlopesAvx2(const SlopeGrid& grid, DirectionTally& alongX, DirectionTally& alongY);

}  // namespace k7hlp
