// The AVX2 kernels: eight pixels a step, otherwise the operations of the
// portable kernels one by one (no fused multiply-add), so that the results
// agree bit for bit.
#include "CpuFeatures.h"
#include "ScalingKernels.h"

#if K7HLP_HAVE_AVX2_KERNELS
#include <immintrin.h>

#include <algorithm>

namespace k7hlp {
namespace detail {
namespace {

// Entries a and b side by side in one 128-bit half.
K7HLP_AVX2 inline __m128 EntryPair(const CounterEntry* a, const CounterEntry* b) {
  return _mm_loadh_pi(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(a))), reinterpret_cast<const __m64*>(b));
}

// Frame indices and offsets of one block; false lanes in `valid` where a value is outside.
K7HLP_AVX2 void CounterIndices(const float* surface, float last, int32_t* h, float* offset, __m256* valid) {
  const __m256 zero = _mm256_setzero_ps();
  const __m256 lastv = _mm256_set1_ps(last);
  for (size_t i = 0; i < kScalingBlock; i += 8) {
    const __m256 m = _mm256_loadu_ps(surface + i);
    const __m256 inside = _mm256_and_ps(_mm256_cmp_ps(m, zero, _CMP_GE_OQ), _mm256_cmp_ps(m, lastv, _CMP_LE_OQ));
    *valid = _mm256_and_ps(*valid, inside);
    const __m256 mc = _mm256_min_ps(_mm256_max_ps(m, zero), lastv);
    const __m256i l = _mm256_cvttps_epi32(mc);
    const __m256 above = _mm256_cmp_ps(mc, _mm256_cvtepi32_ps(l), _CMP_GT_OQ);
    const __m256i hv = _mm256_sub_epi32(l, _mm256_castps_si256(above));
    _mm256_store_si256(reinterpret_cast<__m256i*>(h + i), hv);
    _mm256_store_ps(offset + i, _mm256_sub_ps(mc, _mm256_cvtepi32_ps(hv)));
  }
}

K7HLP_AVX2 void CounterPositions(const int32_t* h, const float* offset, const CounterEntry* table, float* out) {
  for (size_t i = 0; i < kScalingBlock; i += 8) {
    const int32_t* k = h + i;
    // Low halves from entries 0-3, high halves from 4-7: the in-lane shuffles give them in order.
    const __m256 e0145 = _mm256_set_m128(EntryPair(table + k[4], table + k[5]), EntryPair(table + k[0], table + k[1]));
    const __m256 e2367 = _mm256_set_m128(EntryPair(table + k[6], table + k[7]), EntryPair(table + k[2], table + k[3]));
    const __m256 step = _mm256_shuffle_ps(e0145, e2367, _MM_SHUFFLE(2, 0, 2, 0));
    const __m256 position = _mm256_shuffle_ps(e0145, e2367, _MM_SHUFFLE(3, 1, 3, 1));
    _mm256_storeu_ps(out + i, _mm256_add_ps(_mm256_mul_ps(_mm256_load_ps(offset + i), step), position));
  }
}

// The cells of eight values, by the operations of GridCell.
K7HLP_AVX2 inline __m256i GridCells(__m256 v, const GridLookup& g) {
  const __m256 f = _mm256_mul_ps(_mm256_sub_ps(v, _mm256_set1_ps(g.first)), _mm256_set1_ps(g.perCell));
  // max and min return their second operand for NaN, as GridCell's conditions do.
  return _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(f, _mm256_setzero_ps()), _mm256_set1_ps(g.lastCell)));
}

K7HLP_AVX2 inline int32_t LowestLane(__m256i v) {
  v = _mm256_min_epi32(v, _mm256_permute2x128_si256(v, v, 1));
  v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm256_min_epi32(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm256_cvtsi256_si32(v);
}

// Entry j (0 to 15) of a run of sixteen, per lane: a permute within each half
// of the run, and bit 3 of j chooses the half.
K7HLP_AVX2 inline __m256 Pick16(const float* run, __m256i j) {
  const __m256 low = _mm256_permutevar8x32_ps(_mm256_loadu_ps(run), j);
  const __m256 high = _mm256_permutevar8x32_ps(_mm256_loadu_ps(run + 8), j);
  return _mm256_blendv_ps(low, high, _mm256_castsi256_ps(_mm256_slli_epi32(j, 28)));
}

K7HLP_AVX2 inline __m256 Interpolate(__m256 v, __m256 slope, __m256 x, __m256 z) {
  return _mm256_add_ps(_mm256_mul_ps(slope, _mm256_sub_ps(v, x)), z);
}

// 2 * cell + 1, less one where the value lies below the cell's point (cell
// and point counted from the same place).
K7HLP_AVX2 inline __m256i SegmentIndex(__m256 v, __m256i cell, __m256 point) {
  const __m256i below = _mm256_castps_si256(_mm256_cmp_ps(v, point, _CMP_LT_OQ));
  return _mm256_add_epi32(_mm256_add_epi32(_mm256_add_epi32(cell, cell), _mm256_set1_epi32(1)), below);
}

// Eight values whose cells lie within eight of `base`: the points, then the
// slopes, x and z of the cells' sixteen segments picked from registers.
K7HLP_AVX2 inline __m256 NearbyPositions(__m256 v, __m256i cell, uint32_t base, const GridLookup& g) {
  const __m256i rel = _mm256_sub_epi32(cell, _mm256_set1_epi32(static_cast<int32_t>(base)));
  const __m256i j = SegmentIndex(v, rel, _mm256_permutevar8x32_ps(_mm256_loadu_ps(g.point + base), rel));
  const size_t at = 2 * size_t{base};
  return Interpolate(v, Pick16(g.slope + at, j), Pick16(g.x + at, j), Pick16(g.z + at, j));
}

// Eight values spread wider: every entry gathered on its own.
K7HLP_AVX2 inline __m256 SpreadPositions(__m256 v, __m256i cell, const GridLookup& g) {
  const __m256i j = SegmentIndex(v, cell, _mm256_i32gather_ps(g.point, cell, 4));
  return Interpolate(v, _mm256_i32gather_ps(g.slope, j, 4), _mm256_i32gather_ps(g.x, j, 4),
                     _mm256_i32gather_ps(g.z, j, 4));
}

}  // namespace

K7HLP_AVX2 size_t PositionsFromCounterAvx2(const float* surface, size_t pixels, const CounterEntry* table,
                                           uint32_t frames, float* out, bool* inside) {
  alignas(32) int32_t h[kScalingBlock];
  alignas(32) float offset[kScalingBlock];
  __m256 valid = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
  size_t i = 0;
  for (; i + kScalingBlock <= pixels; i += kScalingBlock) {
    CounterIndices(surface + i, static_cast<float>(frames - 1), h, offset, &valid);
    CounterPositions(h, offset, table, out + i);
  }
  *inside = _mm256_movemask_ps(valid) == 0xff;
  return i;
}

K7HLP_AVX2 size_t PositionsFromGridAvx2(const float* surface, size_t pixels, const GridLookup& grid, float* out) {
  constexpr uint32_t kNearby = 8;
  size_t i = 0;
  for (; i + 8 <= pixels; i += 8) {
    const __m256 v = _mm256_loadu_ps(surface + i);
    const __m256i cell = GridCells(v, grid);
    const uint32_t base = std::min(static_cast<uint32_t>(LowestLane(cell)), grid.cells - kNearby);
    const __m256i beyond = _mm256_cmpgt_epi32(cell, _mm256_set1_epi32(static_cast<int32_t>(base + kNearby - 1)));
    _mm256_storeu_ps(out + i, _mm256_testz_si256(beyond, beyond) ? NearbyPositions(v, cell, base, grid)
                                                                 : SpreadPositions(v, cell, grid));
  }
  return i;
}

}  // namespace detail
}  // namespace k7hlp
#endif
