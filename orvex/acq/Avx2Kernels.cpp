#include "acq/Avx2Kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <algorithm>

#define ORVEX_AVX2 __attribute__((target("avx2")))

namespace orvex {

ORVEX_AVX2 bool ExpandBlocksAvx2(const uint8_t* samples, uint32_t pixels, uint32_t w, const uint16_t* positions,
                                 uint8_t* out) {
  // Triples (position, two words) of four samples are 24 bytes: the words of
  // sample k go to bytes 6k + 2 .. 6k + 5, the positions to 6k, 6k + 1.
  const __m128i wordsLow = _mm_setr_epi8(-1, -1, 0, 1, 2, 3, -1, -1, 4, 5, 6, 7, -1, -1, 8, 9);
  const __m128i positionsLow = _mm_setr_epi8(0, 1, -1, -1, -1, -1, 2, 3, -1, -1, -1, -1, 4, 5, -1, -1);
  const __m128i wordsHigh = _mm_setr_epi8(10, 11, -1, -1, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i positionsHigh = _mm_setr_epi8(-1, -1, 6, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i steps = _mm_setr_epi16(0, 32, 64, 96, 0, 0, 0, 0);
  const size_t row = 4 * size_t{pixels}, run = 6 * size_t{w};
  if (w < 4) return false;
  // Blocks start every four samples; the last starts four before the end and
  // may overlap the one before it (the same values are written twice).
  for (uint32_t first = 0;; first = std::min(first + 4, w - 4)) {
    // Four sample rows (one dword per pixel) turned into one vector per pixel.
    const uint8_t* at = samples + first * row;
    __m128i r[4];
    for (int k = 0; k < 4; ++k) r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + k * row));
    const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpackhi_epi32(r[0], r[1]);
    const __m128i t2 = _mm_unpacklo_epi32(r[2], r[3]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
    const __m128i perPixel[3] = {_mm_unpacklo_epi64(t0, t2), _mm_unpackhi_epi64(t0, t2), _mm_unpacklo_epi64(t1, t3)};
    for (uint32_t q = 0; q < pixels; ++q) {
      const __m128i position = _mm_add_epi16(_mm_set1_epi16(static_cast<short>(positions[q] + 32 * first)), steps);
      const __m128i low = _mm_or_si128(_mm_shuffle_epi8(perPixel[q], wordsLow), _mm_shuffle_epi8(position, positionsLow));
      const __m128i high =
          _mm_or_si128(_mm_shuffle_epi8(perPixel[q], wordsHigh), _mm_shuffle_epi8(position, positionsHigh));
      uint8_t* triple = out + q * run + 6 * size_t{first};
      _mm_storeu_si128(reinterpret_cast<__m128i*>(triple), low);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(triple + 16), high);
    }
    if (first + 4 == w) break;
  }
  return true;
}

namespace {

// ExpandGroupsAvx2 for windows of kBlocks blocks of four samples, the last
// block of which may be partial; known at compile time, the blocks of a group
// stay in registers.
template <uint32_t kBlocks>
ORVEX_AVX2 const uint8_t* ExpandGroupsInBlocks(const uint8_t* in, uint8_t* out, size_t groups, uint32_t w,
                                               uint16_t back) {
  // Four triples (24 bytes) from one pixel's four words, present in both
  // lanes: words at bytes 6k + 2, positions at 6k; bytes 24-31 are spare.
  const __m256i words = _mm256_setr_epi8(-1, -1, 0, 1, 2, 3, -1, -1, 4, 5, 6, 7, -1, -1, 8, 9,  //
                                         10, 11, -1, -1, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i positionWords = _mm256_setr_epi16(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0, 0, 0, 0);
  // Start word q (bytes 2q, 2q + 1) into the position slots of the triples.
  __m256i pickStart[3];
  for (int q = 0; q < 3; ++q) {
    const char l = static_cast<char>(2 * q), h = static_cast<char>(2 * q + 1);
    pickStart[q] = _mm256_setr_epi8(l, h, -1, -1, -1, -1, l, h, -1, -1, -1, -1, l, h, -1, -1,  //
                                    -1, -1, l, h, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  }
  const __m256i steps = _mm256_setr_epi16(0, 0, 0, 32, 0, 0, 64, 0, 0, 96, 0, 0, 0, 0, 0, 0);
  constexpr size_t kRow = 12;
  const size_t run = 6 * size_t{w};
  // Blocks start every four samples; the last starts four before the end and
  // may overlap the one before it (the same values are written twice). A
  // window of three reads a fourth sample row from the next group.
  uint32_t first[kBlocks];
  __m256i blockSteps[kBlocks];  // the positions of a block's triples past the pixel's start
  for (uint32_t b = 0; b < kBlocks; ++b) {
    first[b] = w >= 4 ? std::min(4 * b, w - 4) : 0;
    blockSteps[b] = _mm256_add_epi16(
        _mm256_and_si256(_mm256_set1_epi16(static_cast<short>(32 * first[b])), positionWords), steps);
  }
  for (size_t g = 0; g < groups; ++g) {
    const uint8_t* samples = in + 6;
    // Four sample rows turned into four words per pixel, in both lanes (the
    // rows are loaded into both), as the shuffle into triples needs them.
    __m256i perPixel[kBlocks][3];
    for (uint32_t b = 0; b < kBlocks; ++b) {
      const uint8_t* at = samples + first[b] * kRow;
      __m256i r[4];
      for (int k = 0; k < 4; ++k)
        r[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + k * kRow)));
      const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]), t1 = _mm256_unpackhi_epi32(r[0], r[1]);
      const __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]), t3 = _mm256_unpackhi_epi32(r[2], r[3]);
      perPixel[b][0] = _mm256_unpacklo_epi64(t0, t2);
      perPixel[b][1] = _mm256_unpackhi_epi64(t0, t2);
      perPixel[b][2] = _mm256_unpacklo_epi64(t1, t3);
    }
    // The three start words (less `back`) in both lanes, to be placed in the
    // position slots by one shuffle per pixel.
    const __m256i starts = _mm256_broadcastsi128_si256(
        _mm_sub_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in)), _mm_set1_epi16(static_cast<short>(back))));
    // Pixel by pixel and block by block, so that every spare byte lands on a
    // triple written after it.
    for (int q = 0; q < 3; ++q) {
      const __m256i start = _mm256_shuffle_epi8(starts, pickStart[q]);
      for (uint32_t b = 0; b < kBlocks; ++b) {
        const __m256i position = _mm256_add_epi16(start, blockSteps[b]);
        const __m256i triples = _mm256_or_si256(_mm256_shuffle_epi8(perPixel[b][q], words), position);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + q * run + 6 * size_t{first[b]}), triples);
      }
    }
    in = samples + w * kRow;
    out += 3 * run;
  }
  return in;
}

}  // namespace

ORVEX_AVX2 const uint8_t* ExpandGroupsAvx2(const uint8_t* in, uint8_t* out, size_t groups, uint32_t w,
                                           uint16_t back) {
  static_assert(kMaxWindowBlocks == 6, "one case per block count");
  switch ((w + 3) / 4) {
    case 1: return ExpandGroupsInBlocks<1>(in, out, groups, w, back);
    case 2: return ExpandGroupsInBlocks<2>(in, out, groups, w, back);
    case 3: return ExpandGroupsInBlocks<3>(in, out, groups, w, back);
    case 4: return ExpandGroupsInBlocks<4>(in, out, groups, w, back);
    case 5: return ExpandGroupsInBlocks<5>(in, out, groups, w, back);
    default: return ExpandGroupsInBlocks<6>(in, out, groups, w, back);
  }
}

ORVEX_AVX2 const uint8_t* ExpandSingleSampleGroupsAvx2(const uint8_t* in, uint8_t* out, size_t groups) {
  // Bytes p0 p1 p2 d0 d1 d2 (p: 2, d: 4 bytes) into p0 d0 p1 d1 p2 d2. The
  // permutation moves bytes only within the first 16; the last two stay, so a
  // 32-byte load shuffled in its lanes is the whole group in one store. Its
  // 14 extra bytes land on the next group, written after it; the last group
  // is stored exactly (the next bytes belong to another group's output).
  const __m256i order = _mm256_setr_epi8(0, 1, 6, 7, 8, 9, 2, 3, 10, 11, 12, 13, 4, 5, 14, 15,  //
                                         0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  size_t g = 0;
  for (; g + 1 < groups; ++g, in += 18, out += 18)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                        _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)), order));
  for (; g < groups; ++g, in += 18, out += 18) {
    const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(group, _mm256_castsi256_si128(order)));
    __builtin_memcpy(out + 16, in + 16, 2);
  }
  return in;
}

ORVEX_AVX2 size_t CopyVectorsAvx2(uint8_t* out, const uint8_t* in, size_t bytes) {
  size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), v);
  }
  return i;
}

ORVEX_AVX2 size_t AddSurfaceOffsetsAvx2(uint8_t* data, const uint8_t* offsets, size_t words) {
  // A saturating add, kept only in the odd lanes whose word is non-zero.
  const __m256i evenLanes = _mm256_set1_epi32(0x0000FFFF);
  const __m256i zero = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 16 <= words; i += 16) {
    __m256i word = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 2 * i));
    __m256i sum = _mm256_adds_epu16(word, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets + 2 * i)));
    __m256i keep = _mm256_or_si256(_mm256_cmpeq_epi16(word, zero), evenLanes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(data + 2 * i), _mm256_blendv_epi8(sum, word, keep));
  }
  return i;
}

}  // namespace orvex

#else

namespace orvex {

size_t AddSurfaceOffsetsAvx2(uint8_t*, const uint8_t*, size_t) { return 0; }
size_t CopyVectorsAvx2(uint8_t*, const uint8_t*, size_t) { return 0; }
bool ExpandBlocksAvx2(const uint8_t*, uint32_t, uint32_t, const uint16_t*, uint8_t*) { return false; }
const uint8_t* ExpandSingleSampleGroupsAvx2(const uint8_t* in, uint8_t*, size_t) { return in; }
const uint8_t* ExpandGroupsAvx2(const uint8_t* in, uint8_t*, size_t, uint32_t, uint16_t) { return in; }

}  // namespace orvex

#endif
