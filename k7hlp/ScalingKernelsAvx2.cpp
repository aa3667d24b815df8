// The AVX2 bodies of ScalingKernels: eight pixels a step, table entries
// fetched by gathers. The operations are those of the portable kernels, one
// by one (no fused multiply-add), so that the results agree bit for bit.
#include "CpuFeatures.h"
#include "ScalingKernels.h"

#if K7HLP_HAVE_AVX2_KERNELS
#include <immintrin.h>

namespace k7hlp {
namespace detail {

K7HLP_AVX2 size_t PositionsFromCounterAvx2(const float* surface, size_t pixels, const CounterLookup& table, float* out,
                                           bool* inside) {
  const __m256 zero = _mm256_setzero_ps();
  const __m256 last = _mm256_set1_ps(static_cast<float>(table.frames - 1));
  __m256 valid = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
  size_t i = 0;
  for (; i + 8 <= pixels; i += 8) {
    const __m256 m = _mm256_loadu_ps(surface + i);
    // Ordered comparisons: NaN is outside.
    valid = _mm256_and_ps(valid, _mm256_and_ps(_mm256_cmp_ps(m, zero, _CMP_GE_OQ), _mm256_cmp_ps(m, last, _CMP_LE_OQ)));
    // max returns its second operand for NaN and for two zeros, as m > 0 ? m : 0 does.
    const __m256 mc = _mm256_min_ps(_mm256_max_ps(m, zero), last);
    const __m256i l = _mm256_cvttps_epi32(mc);
    const __m256 above = _mm256_cmp_ps(mc, _mm256_cvtepi32_ps(l), _CMP_GT_OQ);
    const __m256i h = _mm256_sub_epi32(l, _mm256_castps_si256(above));
    const __m256 step = _mm256_i32gather_ps(table.step, h, 4);
    const __m256 position = _mm256_i32gather_ps(table.position, h, 4);
    const __m256 offset = _mm256_sub_ps(mc, _mm256_cvtepi32_ps(h));
    _mm256_storeu_ps(out + i, _mm256_add_ps(_mm256_mul_ps(offset, step), position));
  }
  *inside = _mm256_movemask_ps(valid) == 0xff;
  return i;
}

K7HLP_AVX2 size_t PositionsFromGridAvx2(const float* surface, size_t pixels, const GridLookup& grid, float* out) {
  const __m256 zero = _mm256_setzero_ps();
  const __m256 first = _mm256_set1_ps(grid.first);
  const __m256 perCell = _mm256_set1_ps(grid.perCell);
  const __m256 lastCell = _mm256_set1_ps(grid.lastCell);
  const __m256i one = _mm256_set1_epi32(1);
  size_t i = 0;
  for (; i + 8 <= pixels; i += 8) {
    const __m256 c = _mm256_loadu_ps(surface + i);
    const __m256 f = _mm256_min_ps(_mm256_max_ps(_mm256_mul_ps(_mm256_sub_ps(c, first), perCell), zero), lastCell);
    const __m256i cell = _mm256_cvttps_epi32(f);
    const __m256 below = _mm256_cmp_ps(c, _mm256_i32gather_ps(grid.point, cell, 4), _CMP_LT_OQ);
    // 2 * cell + 1, less one where the value lies below the cell's point.
    const __m256i j = _mm256_add_epi32(_mm256_add_epi32(_mm256_slli_epi32(cell, 1), one), _mm256_castps_si256(below));
    const __m256 slope = _mm256_i32gather_ps(grid.slope, j, 4);
    const __m256 x = _mm256_i32gather_ps(grid.x, j, 4);
    const __m256 z = _mm256_i32gather_ps(grid.z, j, 4);
    _mm256_storeu_ps(out + i, _mm256_add_ps(_mm256_mul_ps(slope, _mm256_sub_ps(c, x)), z));
  }
  return i;
}

}  // namespace detail
}  // namespace k7hlp
#endif
