#include "CpuFeatures.h"
#include "TiltRemoval.h"

#if K7HLP_HAVE_AVX2_KERNELS
#include <immintrin.h>
#endif

namespace k7hlp {

K7HLP_AVX2 void AddTermsAvx2(const float* from, float* to, const float* columnTerms, size_t w, float rowTerm) {
  size_t x = 0;
#if K7HLP_HAVE_AVX2_KERNELS
  const __m256 row = _mm256_set1_ps(rowTerm);
  auto add8 = [&](size_t at) K7HLP_AVX2 {
    const __m256 sum = _mm256_add_ps(_mm256_loadu_ps(from + at), _mm256_loadu_ps(columnTerms + at));
    _mm256_storeu_ps(to + at, _mm256_add_ps(sum, row));
  };
  // Two vectors a step: the loop's own counting would otherwise take a good share of the issue slots.
  for (; x + 16 <= w; x += 16) {
    add8(x);
    add8(x + 8);
  }
  for (; x + 8 <= w; x += 8) add8(x);
#endif
  for (; x < w; ++x) to[x] = from[x] + columnTerms[x] + rowTerm;
}

}  // namespace k7hlp
