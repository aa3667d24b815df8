#include "SlopeTally.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace k7hlp {
namespace {

#if defined(__SSE2__)

// A compare gives -1 per true lane, so subtracting the mask counts; the
// lanes are summed once per row.
inline __m128i Counted(__m128i count, __m128 mask) { return _mm_sub_epi32(count, _mm_castps_si128(mask)); }

inline size_t LaneSum(__m128i v) {
  alignas(16) int lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
  return static_cast<size_t>(lanes[0]) + static_cast<size_t>(lanes[1]) + static_cast<size_t>(lanes[2]) +
         static_cast<size_t>(lanes[3]);
}

inline __m128 SlopesAt(const float* row, size_t x, size_t step) {
  return _mm_sub_ps(_mm_loadu_ps(row + x), _mm_loadu_ps(row + x + step));
}

// Slopes inside a range are few: a mask test per four, the append in scalar code.
void TallyRow(const float* row, size_t across, size_t step, RangeTally& t) {
  const __m128 lo = _mm_set1_ps(t.lo), mid = _mm_set1_ps(t.mid), hi = _mm_set1_ps(t.hi);
  __m128i atMostLo = _mm_setzero_si128(), belowMid = _mm_setzero_si128(), equalMid = _mm_setzero_si128();
  size_t x = 0;
  for (; x + 4 <= across; x += 4) {
    const __m128 slopes = SlopesAt(row, x, step);
    const __m128 low = _mm_cmple_ps(slopes, lo), atMid = _mm_cmpeq_ps(slopes, mid);
    atMostLo = Counted(atMostLo, low);
    belowMid = Counted(belowMid, _mm_cmplt_ps(slopes, mid));
    equalMid = Counted(equalMid, atMid);
    // Above lo, below hi (NaN fails this one), not mid.
    int inside = _mm_movemask_ps(_mm_andnot_ps(_mm_or_ps(low, atMid), _mm_cmplt_ps(slopes, hi)));
    if (!inside) continue;
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, slopes);
    for (; inside; inside &= inside - 1) {
      if (t.count < t.capacity) t.inside[t.count] = lanes[__builtin_ctz(static_cast<unsigned>(inside))];
      ++t.count;
    }
  }
  t.atMostLo += LaneSum(atMostLo);
  t.belowMid += LaneSum(belowMid);
  t.equalMid += LaneSum(equalMid);
  TallyRowTail(row, x, across, step, t);
}

void TallyRow(const float* row, size_t across, size_t step, PointTally& t) {
  const __m128 at = _mm_set1_ps(t.at);
  __m128i below = _mm_setzero_si128(), atMost = _mm_setzero_si128();
  size_t x = 0;
  for (; x + 4 <= across; x += 4) {
    const __m128 slopes = SlopesAt(row, x, step);
    below = Counted(below, _mm_cmplt_ps(slopes, at));
    atMost = Counted(atMost, _mm_cmple_ps(slopes, at));
  }
  t.below += LaneSum(below);
  t.atMost += LaneSum(atMost);
  TallyRowTail(row, x, across, step, t);
}

#else

template <class Tally>
void TallyRow(const float* row, size_t across, size_t step, Tally& t) {
  TallyRowTail(row, 0, across, step, t);
}

#endif

void TallyRow(const float* row, size_t across, size_t step, DirectionTally& t) {
  if (t.kind == DirectionTally::Kind::kRange) TallyRow(row, across, step, t.range);
  if (t.kind == DirectionTally::Kind::kPoint) TallyRow(row, across, step, t.point);
}

}  // namespace

void TallySlopes(const SlopeGrid& grid, DirectionTally& alongX, DirectionTally& alongY) {
  for (size_t y = 0; y < grid.down; ++y) {
    const float* row = grid.image + grid.width * y;
    TallyRow(row, grid.across, grid.baseline, alongX);
    TallyRow(row, grid.across, grid.width * grid.baseline, alongY);
  }
}

}  // namespace k7hlp
