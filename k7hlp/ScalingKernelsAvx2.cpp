// The AVX2 kernels: eight pixels a step, otherwise the operations of the
// portable kernels one by one (no fused multiply-add), so that the results
// agree bit for bit.
#include "CpuFeatures.h"
#include "ScalingKernels.h"

#if K7HLP_HAVE_AVX2_KERNELS
#include <immintrin.h>

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

K7HLP_AVX2 void GridCells(const float* c, const GridLookup& g, int32_t* cell) {
  const __m256 zero = _mm256_setzero_ps();
  const __m256 first = _mm256_set1_ps(g.first);
  const __m256 perCell = _mm256_set1_ps(g.perCell);
  const __m256 lastCell = _mm256_set1_ps(g.lastCell);
  for (size_t i = 0; i < kScalingBlock; i += 8) {
    const __m256 f = _mm256_mul_ps(_mm256_sub_ps(_mm256_loadu_ps(c + i), first), perCell);
    const __m256i cells = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(f, zero), lastCell));
    _mm256_store_si256(reinterpret_cast<__m256i*>(cell + i), cells);
  }
}

// 2 * cell + 1, less one where the value lies below the cell's point.
K7HLP_AVX2 void SegmentIndices(const float* c, const int32_t* cell, const float* point, int32_t* j) {
  const __m256i one = _mm256_set1_epi32(1);
  for (size_t i = 0; i < kScalingBlock; i += 8) {
    const __m256i cells = _mm256_load_si256(reinterpret_cast<const __m256i*>(cell + i));
    const int32_t* k = cell + i;
    const __m256 points = _mm256_set_ps(point[k[7]], point[k[6]], point[k[5]], point[k[4]], point[k[3]], point[k[2]],
                                        point[k[1]], point[k[0]]);
    const __m256 below = _mm256_cmp_ps(_mm256_loadu_ps(c + i), points, _CMP_LT_OQ);
    const __m256i twice = _mm256_add_epi32(cells, cells);
    _mm256_store_si256(reinterpret_cast<__m256i*>(j + i),
                       _mm256_add_epi32(_mm256_add_epi32(twice, one), _mm256_castps_si256(below)));
  }
}

// Segments k and k + 4 as the two halves of one register.
K7HLP_AVX2 inline __m256 SegmentPair(const GridSegment* segment, const int32_t* j, size_t k) {
  return _mm256_set_m128(_mm_loadu_ps(&segment[j[k + 4]].slope), _mm_loadu_ps(&segment[j[k]].slope));
}

K7HLP_AVX2 void GridPositions(const float* c, const int32_t* j, const GridSegment* segment, float* out) {
  for (size_t i = 0; i < kScalingBlock; i += 8) {
    // A 4 x 4 transpose in each half: pixels 0-3 in the low halves, 4-7 in the high ones.
    const __m256 r0 = SegmentPair(segment, j + i, 0), r1 = SegmentPair(segment, j + i, 1);
    const __m256 r2 = SegmentPair(segment, j + i, 2), r3 = SegmentPair(segment, j + i, 3);
    const __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpackhi_ps(r0, r1);
    const __m256 t2 = _mm256_unpacklo_ps(r2, r3), t3 = _mm256_unpackhi_ps(r2, r3);
    const __m256 slope = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 x = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 z = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 v = _mm256_loadu_ps(c + i);
    _mm256_storeu_ps(out + i, _mm256_add_ps(_mm256_mul_ps(slope, _mm256_sub_ps(v, x)), z));
  }
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
  alignas(32) int32_t cell[kScalingBlock], j[kScalingBlock];
  size_t i = 0;
  for (; i + kScalingBlock <= pixels; i += kScalingBlock) {
    GridCells(surface + i, grid, cell);
    SegmentIndices(surface + i, cell, grid.point, j);
    GridPositions(surface + i, j, grid.segment, out + i);
  }
  return i;
}

}  // namespace detail
}  // namespace k7hlp
#endif
