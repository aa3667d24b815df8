#include "acq/RegroupAvx2.h"

#include "acq/RegroupBands.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <algorithm>

#define ORVEX_AVX2 __attribute__((target("avx2")))

namespace orvex {
namespace {

// A piece is 12 bytes in the low lanes of a 16-byte vector: one group of
// 32-bit elements, or four groups of 8-bit ones (stacks of two or three frames).
template <size_t kElem>
ORVEX_AVX2 inline __m128i LoadPiece(const uint8_t* at, size_t groupBytes) {
  if constexpr (kElem == 4) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
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
ORVEX_AVX2 void Steps(const uint8_t* src, uint8_t* dst, size_t groupBytes, uint32_t frames, size_t frameBytes,
                      size_t steps) {
  constexpr size_t kChunk = 3 * kElem;
  constexpr size_t kGroupsPerPiece = 4 / kElem;
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

// Short pieces of several frames: each frame's part of a step is a run of
// 24 bytes, written as one 32-byte store whose last 8 bytes spill into the
// next step's run of the same frame (or into the groups the portable copy
// writes after the steps). One unaligned 32-byte store costs less than the
// exact 16 + 8 pair, and stores are what these kernels wait on.
ORVEX_AVX2 inline void StoreRun24(uint8_t* out, __m256i lanes) {
  // Each lane holds 12 bytes in its low part.
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                      _mm256_permutevar8x32_epi32(lanes, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7)));
}

// Two groups of one 16-byte read each into the two lanes: from `low` and `high`.
ORVEX_AVX2 inline __m256i LoadLanes(const uint8_t* low, const uint8_t* high) {
  return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(high), reinterpret_cast<const __m128i*>(low));
}

// The same byte pattern in both lanes.
ORVEX_AVX2 inline __m256i LanePattern(const int8_t (&bytes)[16]) {
  const __m128i half = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  return _mm256_broadcastsi128_si256(half);
}

// 8-bit elements with at least four frames: steps of eight groups by four
// frames. A 16-byte read of a group holds its triples of four frames; group j
// (lane 0) and group j + 4 (lane 1) share a register, and each triple is
// widened to a dword. The transposition is then two rounds of dword blends
// (no shuffles): the widening already places frame k of group j where the
// blends pick it up, in the order kOrders[j], and the narrowing puts each
// frame's four groups back in order. So a block costs four widening and four
// narrowing shuffles, eight blends and four stores for 96 bytes. Stacks whose
// frame count is not a multiple of four end with a block that overlaps the one
// before it.
constexpr int kOrders[4][4] = {{0, 1, 2, 3}, {1, 0, 3, 2}, {2, 3, 0, 1}, {3, 2, 1, 0}};

template <int j>
ORVEX_AVX2 inline __m256i WidenTriples(const uint8_t* low, const uint8_t* high) {
  int8_t pattern[16];
  for (int k = 0; k < 4; ++k)
    for (int b = 0; b < 4; ++b) pattern[4 * k + b] = static_cast<int8_t>(b < 3 ? 3 * kOrders[j][k] + b : -1);
  return _mm256_shuffle_epi8(LoadLanes(low, high), LanePattern(pattern));
}

// Dword k of `picked` holds group kOrders[i][k] of frame i (the orders are
// their own inverse); the four groups go out as 12 consecutive bytes per lane.
template <int i>
ORVEX_AVX2 inline void StoreFrameOf4(uint8_t* out, __m256i picked) {
  int8_t pattern[16];
  for (int g = 0; g < 4; ++g)
    for (int b = 0; b < 3; ++b) pattern[3 * g + b] = static_cast<int8_t>(4 * kOrders[i][g] + b);
  for (int b = 12; b < 16; ++b) pattern[b] = -1;
  StoreRun24(out, _mm256_shuffle_epi8(picked, LanePattern(pattern)));
}

ORVEX_AVX2 inline void TransposeBlock8(const uint8_t* in, size_t groupBytes, uint8_t* out, size_t frameBytes) {
  const __m256i r0 = WidenTriples<0>(in, in + 4 * groupBytes);
  const __m256i r1 = WidenTriples<1>(in + groupBytes, in + 5 * groupBytes);
  const __m256i r2 = WidenTriples<2>(in + 2 * groupBytes, in + 6 * groupBytes);
  const __m256i r3 = WidenTriples<3>(in + 3 * groupBytes, in + 7 * groupBytes);
  // Frames 0 and 2 of groups 0 and 1 (a), 1 and 3 of them (b); c and d for groups 2 and 3.
  const __m256i a = _mm256_blend_epi32(r0, r1, 0xAA), b = _mm256_blend_epi32(r1, r0, 0xAA);
  const __m256i c = _mm256_blend_epi32(r2, r3, 0xAA), d = _mm256_blend_epi32(r3, r2, 0xAA);
  StoreFrameOf4<0>(out, _mm256_blend_epi32(a, c, 0xCC));
  StoreFrameOf4<1>(out + frameBytes, _mm256_blend_epi32(b, d, 0xCC));
  StoreFrameOf4<2>(out + 2 * frameBytes, _mm256_blend_epi32(c, a, 0xCC));
  StoreFrameOf4<3>(out + 3 * frameBytes, _mm256_blend_epi32(d, b, 0xCC));
}

ORVEX_AVX2 void TransposedSteps8(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes, size_t steps) {
  const size_t groupBytes = 3 * size_t{frames};
  for (size_t s = 0; s < steps; ++s, src += 8 * groupBytes, dst += 24)
    for (uint32_t first = 0;; first = std::min(first + 4, frames - 4)) {
      TransposeBlock8(src + 3 * size_t{first}, groupBytes, dst + first * frameBytes, frameBytes);
      if (first + 4 == frames) break;
    }
}

// 16-bit elements with fewer than sixteen frames: steps of four groups by two
// frames, the same idea with 6-byte elements widened to qwords: group j (lane
// 0) and j + 2 (lane 1) in one register, one round of qword blends. An odd
// frame count ends with an overlapping pair.
template <int first, int second>
ORVEX_AVX2 inline __m256i WidenPair(const uint8_t* low, const uint8_t* high) {
  int8_t pattern[16];
  for (int b = 0; b < 8; ++b) {
    pattern[b] = static_cast<int8_t>(b < 6 ? 6 * first + b : -1);
    pattern[8 + b] = static_cast<int8_t>(b < 6 ? 6 * second + b : -1);
  }
  return _mm256_shuffle_epi8(LoadLanes(low, high), LanePattern(pattern));
}

template <int first, int second>
ORVEX_AVX2 inline void StoreFrameOf2(uint8_t* out, __m256i picked) {
  int8_t pattern[16];
  for (int b = 0; b < 6; ++b) {
    pattern[b] = static_cast<int8_t>(8 * first + b);
    pattern[6 + b] = static_cast<int8_t>(8 * second + b);
  }
  for (int b = 12; b < 16; ++b) pattern[b] = -1;
  StoreRun24(out, _mm256_shuffle_epi8(picked, LanePattern(pattern)));
}

ORVEX_AVX2 void PairedSteps16(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes, size_t steps) {
  const size_t groupBytes = 6 * size_t{frames};
  for (size_t s = 0; s < steps; ++s, src += 4 * groupBytes, dst += 24)
    for (uint32_t first = 0;; first = std::min(first + 2, frames - 2)) {
      const uint8_t* in = src + 6 * size_t{first};
      uint8_t* out = dst + first * frameBytes;
      const __m256i r0 = WidenPair<0, 1>(in, in + 2 * groupBytes);
      const __m256i r1 = WidenPair<1, 0>(in + groupBytes, in + 3 * groupBytes);
      StoreFrameOf2<0, 1>(out, _mm256_blend_epi32(r0, r1, 0xCC));
      StoreFrameOf2<1, 0>(out + frameBytes, _mm256_blend_epi32(r1, r0, 0xCC));
      if (first + 2 == frames) break;
    }
}

// 16-bit elements with at least sixteen frames: sixteen groups by four frames
// at a time, written in exact 32-byte stores (with many frames the paired
// steps' spilling stores cost more than these transposes). Each group's 24
// bytes of four frames are widened to four qwords, the
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

ORVEX_AVX2 void StepsInBands(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes, size_t steps) {
  const size_t groupBytes = 12 * size_t{frames};
  auto band = [=](const uint8_t* in, uint8_t* out, uint32_t first, uint32_t count, size_t run) {
    Steps<4>(in + 12 * first, out + first * frameBytes, groupBytes, count, frameBytes, run);
  };
  RunInBands(src, dst, frames, 8, steps, band);
}

}  // namespace

size_t RegroupGroupsAvx2(size_t elementBytes, const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes,
                         size_t count) {
  // The short-piece kernels spill 8 bytes past their last run: three 8-bit or
  // two 16-bit groups must follow the steps.
  if (elementBytes == 1 && frames >= 4) {
    const size_t steps = count > 3 ? (count - 3) / 8 : 0;
    TransposedSteps8(src, dst, frames, frameBytes, steps);
    return 8 * steps;
  }
  if (elementBytes == 2 && frames < 16) {
    const size_t steps = count > 2 ? (count - 2) / 4 : 0;
    PairedSteps16(src, dst, frames, frameBytes, steps);
    return 4 * steps;
  }
  if (count == 0) return 0;
  const size_t stepGroups = 8 * 4 / elementBytes;
  const size_t steps = (count - 1) / stepGroups;
  if (elementBytes == 4 && RegroupsInBands(frames))
    StepsInBands(src, dst, frames, frameBytes, steps);
  else if (elementBytes == 4)
    Steps<4>(src, dst, 12 * size_t{frames}, frames, frameBytes, steps);
  else if (elementBytes == 2)
    TransposedSteps16(src, dst, frames, frameBytes, steps);
  else
    Steps<1>(src, dst, 3 * size_t{frames}, frames, frameBytes, steps);
  return stepGroups * steps;
}

}  // namespace orvex

#else

namespace orvex {

size_t RegroupGroupsAvx2(size_t, const uint8_t*, uint8_t*, uint32_t, size_t, size_t) { return 0; }

}  // namespace orvex

#endif
