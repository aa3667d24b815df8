#include "acq/Avx512Kernels.h"

#include "acq/ProcessRoutines.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define ORVEX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

namespace orvex {
namespace {

// A single-sample row: pixel triples (position, two words) from groups of
// start words followed by sample words. Each output byte comes from at most
// 8 bytes before or 4 after it, so each 64 bytes of output are one byte
// permute of the 128 source bytes from 8 before them. The windows of
// neighbouring vectors then share 64 bytes, and the inner vectors of a row
// take one new read each. The row's last 64 bytes are written by a vector
// that overlaps the one before it, and the windows at the row's ends are
// moved inside it.
constexpr size_t kRowBytes = size_t{kWindowColumns} * 6;
constexpr size_t kRowVectors = (kRowBytes + 63) / 64;
constexpr size_t kWindowLead = 8;

struct RowPermutes {
  int8_t pick[kRowVectors][64];  // source byte, from the vector's window
  uint16_t window[kRowVectors];  // where the window of 128 bytes starts in the row
  uint16_t output[kRowVectors];  // where the vector goes in the row
};

// Fills `from` with the row byte each output byte of a row comes from.
constexpr void RowSources(uint16_t (&from)[kRowBytes]) {
  size_t at = 0;
  for (uint32_t pixel = 0; pixel < kWindowColumns;) {
    const uint32_t pixels = pixel < 2 || pixel + 2 >= kWindowColumns ? 2 : 3;
    for (uint32_t q = 0; q < pixels; ++q)
      for (uint32_t b = 0; b < 6; ++b)
        from[at + 6 * q + b] = static_cast<uint16_t>(at + (b < 2 ? 2 * q + b : 2 * pixels + 4 * q + b - 2));
    at += 6 * pixels;
    pixel += pixels;
  }
}

constexpr size_t WindowOf(size_t output) {
  if (output < kWindowLead) return 0;
  if (output - kWindowLead + 128 > kRowBytes) return kRowBytes - 128;
  return output - kWindowLead;
}

constexpr RowPermutes MakeRowPermutes() {
  uint16_t from[kRowBytes] = {};
  RowSources(from);
  RowPermutes p{};
  for (size_t v = 0; v < kRowVectors; ++v) {
    const size_t output = v + 1 < kRowVectors ? 64 * v : kRowBytes - 64;
    const size_t window = WindowOf(output);
    p.output[v] = static_cast<uint16_t>(output);
    p.window[v] = static_cast<uint16_t>(window);
    for (size_t b = 0; b < 64; ++b) p.pick[v][b] = static_cast<int8_t>(from[output + b] - window);
  }
  return p;
}

constexpr RowPermutes kRowPermutes = MakeRowPermutes();

// int8_t: a source 128 bytes or more into the window reads negative.
constexpr bool PicksStayInWindows() {
  for (size_t v = 0; v < kRowVectors; ++v)
    for (size_t b = 0; b < 64; ++b)
      if (kRowPermutes.pick[v][b] < 0) return false;
  return true;
}
static_assert(PicksStayInWindows(), "every output byte's source lies in its vector's window");

// The inner vectors are [1, kInnerEnd): each window starts 64 bytes after the one before.
constexpr size_t InnerEnd() {
  size_t v = 1;
  while (v < kRowVectors && kRowPermutes.window[v] == 64 * v - kWindowLead) ++v;
  return v;
}
constexpr size_t kInnerEnd = InnerEnd();

ORVEX_AVX512 inline void StoreVector(uint8_t* row, size_t v, __m512i low, __m512i high) {
  const __m512i pick = _mm512_loadu_si512(kRowPermutes.pick[v]);
  _mm512_storeu_si512(row + kRowPermutes.output[v], _mm512_permutex2var_epi8(low, pick, high));
}

// A vector whose window is read whole.
ORVEX_AVX512 inline void ExpandVector(const uint8_t* in, uint8_t* out, size_t v) {
  const uint8_t* window = in + kRowPermutes.window[v];
  StoreVector(out, v, _mm512_loadu_si512(window), _mm512_loadu_si512(window + 64));
}

}  // namespace

ORVEX_AVX512 size_t ExpandSingleSampleRowsAvx512(const uint8_t* in, uint8_t* out, size_t rows) {
  for (size_t r = 0; r < rows; ++r, in += kRowBytes, out += kRowBytes) {
    ExpandVector(in, out, 0);
    __m512i low = _mm512_loadu_si512(in + kRowPermutes.window[1]);
    // Unrolled, the table's offsets become constants: reading them per vector
    // cost this pass about a sixth of its time.
#pragma GCC unroll 32
    for (size_t v = 1; v < kInnerEnd; ++v) {
      const __m512i high = _mm512_loadu_si512(in + kRowPermutes.window[v] + 64);
      StoreVector(out, v, low, high);
      low = high;
    }
#pragma GCC unroll 4
    for (size_t v = kInnerEnd; v < kRowVectors; ++v) ExpandVector(in, out, v);
  }
  return rows;
}

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

size_t ExpandSingleSampleRowsAvx512(const uint8_t*, uint8_t*, size_t) { return 0; }
size_t CopyVectorsAvx512(uint8_t*, const uint8_t*, size_t) { return 0; }
size_t AddSurfaceOffsetsAvx512(uint8_t*, const uint8_t*, size_t) { return 0; }

}  // namespace orvex

#endif
