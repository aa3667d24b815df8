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
  for (; x + 8 <= w; x += 8) {
    const __m256 sum = _mm256_add_ps(_mm256_loadu_ps(from + x), _mm256_loadu_ps(columnTerms + x));
    _mm256_storeu_ps(to + x, _mm256_add_ps(sum, row));
  }
#endif
  for (; x < w; ++x) to[x] = from[x] + columnTerms[x] + rowTerm;
}

}  // namespace k7hlp
