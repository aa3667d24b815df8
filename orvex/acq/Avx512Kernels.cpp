#include "acq/Avx512Kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define ORVEX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

namespace orvex {

ORVEX_AVX512 size_t CopyVectorsAvx512(uint8_t* out, const uint8_t* in, size_t bytes) {
  if (bytes < 64) return 0;
  for (size_t i = 0; i + 64 < bytes; i += 64) _mm512_storeu_si512(out + i, _mm512_loadu_si512(in + i));
  // The last vector ends with the run and may overlap the one before it.
  _mm512_storeu_si512(out + bytes - 64, _mm512_loadu_si512(in + bytes - 64));
  return bytes;
}

ORVEX_AVX512 size_t AddSurfaceOffsetsAvx512(uint8_t* data, const uint8_t* offsets, size_t words) {
  // A saturating add in the odd words that are non-zero; the rest stay.
  size_t i = 0;
  for (; i + 32 <= words; i += 32) {
    const __m512i word = _mm512_loadu_si512(data + 2 * i);
    const __mmask32 add = _mm512_test_epi16_mask(word, word) & 0xAAAAAAAAu;
    _mm512_storeu_si512(data + 2 * i, _mm512_mask_adds_epu16(word, add, word, _mm512_loadu_si512(offsets + 2 * i)));
  }
  return i;
}

}  // namespace orvex

#else

namespace orvex {

size_t CopyVectorsAvx512(uint8_t*, const uint8_t*, size_t) { return 0; }
size_t AddSurfaceOffsetsAvx512(uint8_t*, const uint8_t*, size_t) { return 0; }

}  // namespace orvex

#endif
