// The AVX2 counter kernel: eight pixels a step, otherwise the operations of
// the portable kernel one by one (no fused multiply-add), so that the results
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

}  // namespace

K7HLP_AVX2 size_t PositionsFromCounterAvx2(const float* surface, size_t pixels, const CounterEntry* table,
                                           uint32_t frames, float* out, bool* inside) {
  const __m256 zero = _mm256_setzero_ps();
  const __m256 last = _mm256_set1_ps(static_cast<float>(frames - 1));
  __m256 valid = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
  alignas(32) int32_t h[8];
  size_t i = 0;
  for (; i + 8 <= pixels; i += 8) {
    const __m256 m = _mm256_loadu_ps(surface + i);
    valid = _mm256_and_ps(valid, _mm256_and_ps(_mm256_cmp_ps(m, zero, _CMP_GE_OQ), _mm256_cmp_ps(m, last, _CMP_LE_OQ)));
    const __m256 mc = _mm256_min_ps(_mm256_max_ps(m, zero), last);
    const __m256i l = _mm256_cvttps_epi32(mc);
    const __m256 above = _mm256_cmp_ps(mc, _mm256_cvtepi32_ps(l), _CMP_GT_OQ);
    const __m256i hv = _mm256_sub_epi32(l, _mm256_castps_si256(above));
    _mm256_store_si256(reinterpret_cast<__m256i*>(h), hv);
    // Low halves from entries 0-3, high halves from 4-7: the in-lane shuffles give them in order.
    const __m256 e0145 = _mm256_set_m128(EntryPair(table + h[4], table + h[5]), EntryPair(table + h[0], table + h[1]));
    const __m256 e2367 = _mm256_set_m128(EntryPair(table + h[6], table + h[7]), EntryPair(table + h[2], table + h[3]));
    const __m256 step = _mm256_shuffle_ps(e0145, e2367, _MM_SHUFFLE(2, 0, 2, 0));
    const __m256 position = _mm256_shuffle_ps(e0145, e2367, _MM_SHUFFLE(3, 1, 3, 1));
    const __m256 offset = _mm256_sub_ps(mc, _mm256_cvtepi32_ps(hv));
    _mm256_storeu_ps(out + i, _mm256_add_ps(_mm256_mul_ps(offset, step), position));
  }
  *inside = _mm256_movemask_ps(valid) == 0xff;
  return i;
}

}  // namespace detail
}  // namespace k7hlp
#endif
