#include "CpuFeatures.h"
#include "SlopeTally.h"

#if K7HLP_HAVE_AVX2_KERNELS
#include <immintrin.h>

#include <array>
#include <cstdint>
#endif

namespace k7hlp {

#if K7HLP_HAVE_AVX2_KERNELS
namespace {

// For each 8-bit lane mask, the indices of its set lanes in order, one per
// byte: the permutation that packs the chosen lanes to the front.
constexpr std::array<uint64_t, 256> PackTable() {
  std::array<uint64_t, 256> table{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    unsigned filled = 0;
    for (unsigned lane = 0; lane < 8; ++lane)
      if (mask & (1u << lane)) table[mask] |= uint64_t{lane} << (8 * filled++);
  }
  return table;
}
constexpr std::array<uint64_t, 256> kPack = PackTable();

// A compare gives -1 per true lane, so subtracting the mask counts; the
// lanes are summed once per row.
K7HLP_AVX2 inline __m256i Counted(__m256i count, __m256 mask) {
  return _mm256_sub_epi32(count, _mm256_castps_si256(mask));
}

K7HLP_AVX2 inline size_t LaneSum(__m256i v) {
  alignas(32) int lanes[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), v);
  size_t sum = 0;
  for (int lane : lanes) sum += static_cast<size_t>(lane);
  return sum;
}

K7HLP_AVX2 inline __m256 SlopesAt(const float* row, size_t x, size_t step) {
  return _mm256_sub_ps(_mm256_loadu_ps(row + x), _mm256_loadu_ps(row + x + step));
}

// Rows of at least eight slopes: the last step overlaps the one before and
// `fresh` selects the lanes that one did not tally.
K7HLP_AVX2 inline __m256 FreshLanes(size_t tallied) {
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  return _mm256_castsi256_ps(_mm256_cmpgt_epi32(lane, _mm256_set1_epi32(static_cast<int>(tallied) - 1)));
}

// Range state of one row in registers: a vector store may alias anything,
// so fields of the tally itself would be reloaded after every store.
struct RangeRow {
  __m256 lo, mid, hi;
  __m256i atMostLo, belowMid, equalMid;
  float* inside;
  size_t count, capacity;

  // The slopes inside are packed and stored without a branch: with many
  // slopes near the median a data-dependent branch would miss often.
  template <bool kAllFresh>
  K7HLP_AVX2 void Tally(__m256 slopes, __m256 fresh) {
    // Ordered compares: false for NaN.
    __m256 low = _mm256_cmp_ps(slopes, lo, _CMP_LE_OQ), atMid = _mm256_cmp_ps(slopes, mid, _CMP_EQ_OQ);
    __m256 belowM = _mm256_cmp_ps(slopes, mid, _CMP_LT_OQ);
    __m256 between = _mm256_andnot_ps(_mm256_or_ps(low, atMid), _mm256_cmp_ps(slopes, hi, _CMP_LT_OQ));
    if (!kAllFresh) {
      low = _mm256_and_ps(low, fresh);
      atMid = _mm256_and_ps(atMid, fresh);
      belowM = _mm256_and_ps(belowM, fresh);
      between = _mm256_and_ps(between, fresh);
    }
    atMostLo = Counted(atMostLo, low);
    belowMid = Counted(belowMid, belowM);
    equalMid = Counted(equalMid, atMid);
    const unsigned mask = static_cast<unsigned>(_mm256_movemask_ps(between));
    if (count <= capacity) {
      const __m256i order = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(kPack[mask])));
      _mm256_storeu_ps(inside + count, _mm256_permutevar8x32_ps(slopes, order));
    }
    count += static_cast<size_t>(__builtin_popcount(mask));
  }
};

K7HLP_AVX2 void TallyRow(const float* row, size_t across, size_t step, RangeTally& t) {
  const __m256i zero = _mm256_setzero_si256();
  RangeRow r{_mm256_set1_ps(t.lo), _mm256_set1_ps(t.mid), _mm256_set1_ps(t.hi), zero, zero, zero,
             t.inside,           t.count,           t.capacity};
  size_t x = 0;
  for (; x + 8 <= across; x += 8) r.Tally<true>(SlopesAt(row, x, step), _mm256_setzero_ps());
  if (x < across) r.Tally<false>(SlopesAt(row, across - 8, step), FreshLanes(x - (across - 8)));
  t.atMostLo += LaneSum(r.atMostLo);
  t.belowMid += LaneSum(r.belowMid);
  t.equalMid += LaneSum(r.equalMid);
  t.count = r.count;
}

K7HLP_AVX2 void TallyRow(const float* row, size_t across, size_t step, PointTally& t) {
  const __m256 at = _mm256_set1_ps(t.at);
  __m256i below = _mm256_setzero_si256(), atMost = _mm256_setzero_si256();
  size_t x = 0;
  for (; x + 8 <= across; x += 8) {
    const __m256 slopes = SlopesAt(row, x, step);
    below = Counted(below, _mm256_cmp_ps(slopes, at, _CMP_LT_OQ));
    atMost = Counted(atMost, _mm256_cmp_ps(slopes, at, _CMP_LE_OQ));
  }
  if (x < across) {
    const __m256 slopes = SlopesAt(row, across - 8, step), fresh = FreshLanes(x - (across - 8));
    below = Counted(below, _mm256_and_ps(_mm256_cmp_ps(slopes, at, _CMP_LT_OQ), fresh));
    atMost = Counted(atMost, _mm256_and_ps(_mm256_cmp_ps(slopes, at, _CMP_LE_OQ), fresh));
  }
  t.below += LaneSum(below);
  t.atMost += LaneSum(atMost);
}

K7HLP_AVX2 void TallyRow(const float* row, size_t across, size_t step, DirectionTally& t) {
  if (t.kind == DirectionTally::Kind::kRange) TallyRow(row, across, step, t.range);
  if (t.kind == DirectionTally::Kind::kPoint) TallyRow(row, across, step, t.point);
}

}  // namespace

// A row is tallied along x, then along y while it is still in the first-level cache.
K7HLP_AVX2 void TallySlopesAvx2(const SlopeGrid& grid, DirectionTally& alongX, DirectionTally& alongY) {
  if (grid.across < 8) return TallySlopes(grid, alongX, alongY);
  for (size_t y = 0; y < grid.down; ++y) {
    const float* row = grid.image + grid.width * y;
    TallyRow(row, grid.across, grid.baseline, alongX);
    TallyRow(row, grid.across, grid.width * grid.baseline, alongY);
  }
}

#else

void TallySlopesAvx2(const SlopeGrid& grid, DirectionTally& alongX, DirectionTally& alongY) {
  TallySlopes(grid, alongX, alongY);
}

#endif

}  // namespace k7hlp
