#include "acq/RegroupAvx2.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <algorithm>

#define ORVEX_AVX2 __attribute__((target("avx2")))

namespace orvex {
namespace {

// A piece is 12 bytes in the low lanes of a 16-byte vector. The element size
// decides how many groups make a piece and which bytes of the loads are kept.
template <size_t kElem>
ORVEX_AVX2 inline __m128i LoadPiece(const uint8_t* at, size_t groupBytes) {
  if constexpr (kElem == 4) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  } else if constexpr (kElem == 2) {
    const __m128i two = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)),
                                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at + groupBytes)));
    return _mm_shuffle_epi8(two, _mm_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1));
  } else {
    int32_t words[4];
    for (int g = 0; g < 4; ++g) __builtin_memcpy(&words[g], at + g * groupBytes, 4);
    const __m128i four = _mm_setr_epi32(words[0], words[1], words[2], words[3]);
    return _mm_shuffle_epi8(four, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
  }
}

ORVEX_AVX2 inline __m256i Pair(__m128i low, __m128i high) { return _mm256_set_m128i(high, low); }

// Eight pieces (three dwords each, in pairs) into 24 consecutive dwords.
ORVEX_AVX2 inline void StoreEightPieces(uint8_t* out, __m256i p01, __m256i p23, __m256i p45, __m256i p67) {
  const __m256i y0 = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(p01, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 0, 0)),
                                        _mm256_permutevar8x32_epi32(p23, _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 0, 1)),
                                        0xC0);
  const __m256i y1 = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(p23, _mm256_setr_epi32(2, 4, 5, 6, 0, 0, 0, 0)),
                                        _mm256_permutevar8x32_epi32(p45, _mm256_setr_epi32(0, 0, 0, 0, 0, 1, 2, 4)),
                                        0xF0);
  const __m256i y2 = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(p45, _mm256_setr_epi32(5, 6, 0, 0, 0, 0, 0, 0)),
                                        _mm256_permutevar8x32_epi32(p67, _mm256_setr_epi32(0, 0, 0, 1, 2, 4, 5, 6)),
                                        0xFC);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), y0);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), y1);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64), y2);
}

// One step: all frames of 32 / kElem groups (eight pieces). The source of a
// step is contiguous and read once; each frame receives 96 bytes.
template <size_t kElem>
ORVEX_AVX2 void Steps(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes, size_t steps) {
  constexpr size_t kChunk = 3 * kElem;
  constexpr size_t kGroupsPerPiece = 4 / kElem;
  const size_t groupBytes = size_t{frames} * kChunk;
  const size_t pieceBytes = kGroupsPerPiece * groupBytes;
  for (size_t s = 0; s < steps; ++s, src += 8 * pieceBytes, dst += 96) {
    const uint8_t* in = src;
    uint8_t* out = dst;
    for (uint32_t f = 0; f < frames; ++f, in += kChunk, out += frameBytes) {
      __m128i piece[8];
      for (int p = 0; p < 8; ++p) piece[p] = LoadPiece<kElem>(in + p * pieceBytes, groupBytes);
      StoreEightPieces(out, Pair(piece[0], piece[1]), Pair(piece[2], piece[3]), Pair(piece[4], piece[5]),
                       Pair(piece[6], piece[7]));
    }
  }
}

// 8-bit elements with at least eight frames: eight groups by eight frames at
// a time. Each group's 24 bytes of the eight frames are widened to eight
// dwords, the 8 x 8 dwords transposed, and each frame's eight dwords narrowed
// to 24 bytes. The last block of frames starts eight before the end and may
// overlap the one before it (the same bytes are written twice).
ORVEX_AVX2 inline __m256i WidenTriples(const uint8_t* at) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i halves = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6));
  return _mm256_shuffle_epi8(halves, _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                                      0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
}

ORVEX_AVX2 inline void StoreNarrowed(uint8_t* out, __m256i dwords) {
  const __m256i packed = _mm256_shuffle_epi8(dwords, _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                                                      0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
  const __m256i joined = _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(joined));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(joined, 1));
}

ORVEX_AVX2 void TransposedSteps8(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes, size_t steps) {
  const size_t groupBytes = 3 * size_t{frames};
  for (size_t s = 0; s < steps; ++s, src += 8 * groupBytes, dst += 24) {
    for (uint32_t first = 0;; first = std::min(first + 8, frames - 8)) {
      __m256i r[8], t[8], u[8];
      for (int j = 0; j < 8; ++j) r[j] = WidenTriples(src + j * groupBytes + 3 * size_t{first});
      for (int j = 0; j < 8; j += 2) {
        t[j] = _mm256_unpacklo_epi32(r[j], r[j + 1]);
        t[j + 1] = _mm256_unpackhi_epi32(r[j], r[j + 1]);
      }
      for (int j = 0; j < 8; j += 4) {
        u[j] = _mm256_unpacklo_epi64(t[j], t[j + 2]);
        u[j + 1] = _mm256_unpackhi_epi64(t[j], t[j + 2]);
        u[j + 2] = _mm256_unpacklo_epi64(t[j + 1], t[j + 3]);
        u[j + 3] = _mm256_unpackhi_epi64(t[j + 1], t[j + 3]);
      }
      // u[i] (groups 0-3) and u[i + 4] (groups 4-7) hold frames i and i + 4 in their two lanes.
      uint8_t* out = dst + size_t{first} * frameBytes;
      for (int i = 0; i < 4; ++i) {
        StoreNarrowed(out + i * frameBytes, _mm256_permute2x128_si256(u[i], u[i + 4], 0x20));
        StoreNarrowed(out + (i + 4) * frameBytes, _mm256_permute2x128_si256(u[i], u[i + 4], 0x31));
      }
      if (first + 8 == frames) break;
    }
  }
}

// 16-bit elements with at least sixteen frames: sixteen groups by four frames
// at a time (with ten frames the overlapping last block costs what the
// transposes save, so short stacks keep the piece-by-piece steps). Each group's 24 bytes of four frames are widened to four qwords, the
// 4 x 4 qwords of four groups transposed, and each frame's qwords narrowed to
// pieces of two groups for StoreEightPieces. As with the 8-bit transposes the
// last block of frames starts four before the end and may overlap the one
// before it.
ORVEX_AVX2 inline __m256i WidenSixes(const uint8_t* at) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i halves = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 1, 1, 2, 3, 4, 4, 5));
  return _mm256_shuffle_epi8(halves, _mm256_setr_epi8(0, 1, 2, 3, 4, 5, -1, -1, 10, 11, 12, 13, 14, 15, -1, -1,  //
                                                      0, 1, 2, 3, 4, 5, -1, -1, 10, 11, 12, 13, 14, 15, -1, -1));
}

ORVEX_AVX2 inline __m256i NarrowSixes(__m256i qwords) {
  return _mm256_shuffle_epi8(qwords, _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1,  //
                                                      0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1));
}

// Four groups (from `at`, groupBytes apart) of frames first..first + 3 into
// frame[i]: the four groups' elements of frame first + i, as two pieces.
ORVEX_AVX2 inline void TransposeFourGroups(const uint8_t* at, size_t groupBytes, __m256i frame[4]) {
  __m256i r[4];
  for (int j = 0; j < 4; ++j) r[j] = WidenSixes(at + j * groupBytes);
  const __m256i t0 = _mm256_unpacklo_epi64(r[0], r[1]), t1 = _mm256_unpackhi_epi64(r[0], r[1]);
  const __m256i t2 = _mm256_unpacklo_epi64(r[2], r[3]), t3 = _mm256_unpackhi_epi64(r[2], r[3]);
  frame[0] = NarrowSixes(_mm256_permute2x128_si256(t0, t2, 0x20));
  frame[1] = NarrowSixes(_mm256_permute2x128_si256(t1, t3, 0x20));
  frame[2] = NarrowSixes(_mm256_permute2x128_si256(t0, t2, 0x31));
  frame[3] = NarrowSixes(_mm256_permute2x128_si256(t1, t3, 0x31));
}

ORVEX_AVX2 void TransposedSteps16(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes,
                                  size_t steps) {
  const size_t groupBytes = 6 * size_t{frames};
  for (size_t s = 0; s < steps; ++s, src += 16 * groupBytes, dst += 96) {
    for (uint32_t first = 0;; first = std::min(first + 4, frames - 4)) {
      __m256i block[4][4];
      for (int b = 0; b < 4; ++b) TransposeFourGroups(src + 4 * b * groupBytes + 6 * size_t{first}, groupBytes, block[b]);
      uint8_t* out = dst + size_t{first} * frameBytes;
      for (int i = 0; i < 4; ++i, out += frameBytes)
        StoreEightPieces(out, block[0][i], block[1][i], block[2][i], block[3][i]);
      if (first + 4 == frames) break;
    }
  }
}

}  // namespace

size_t RegroupGroupsAvx2(size_t elementBytes, const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes,
                         size_t count) {
  if (count == 0) return 0;
  if (elementBytes == 1 && frames >= 8) {
    const size_t steps = (count - 1) / 8;
    TransposedSteps8(src, dst, frames, frameBytes, steps);
    return 8 * steps;
  }
  const size_t stepGroups = 8 * 4 / elementBytes;
  const size_t steps = (count - 1) / stepGroups;
  if (elementBytes == 2 && frames >= 16) {
    TransposedSteps16(src, dst, frames, frameBytes, steps);
    return stepGroups * steps;
  }
  switch (elementBytes) {
    case 4: Steps<4>(src, dst, frames, frameBytes, steps); break;
    case 2: Steps<2>(src, dst, frames, frameBytes, steps); break;
    default: Steps<1>(src, dst, frames, frameBytes, steps); break;
  }
  return stepGroups * steps;
}

}  // namespace orvex

#else

namespace orvex {

size_t RegroupGroupsAvx2(size_t, const uint8_t*, uint8_t*, uint32_t, size_t, size_t) { return 0; }

}  // namespace orvex

#endif
