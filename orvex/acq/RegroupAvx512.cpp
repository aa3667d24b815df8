#include "acq/RegroupAvx512.h"

#include "acq/RegroupBands.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <algorithm>

#define ORVEX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

namespace orvex {
namespace {

// A byte permute of two registers: byte o of the result is byte at[o] of the
// first (0..63) or the second (64..127).
struct Pick {
  int8_t at[64];
};

template <class Source>
constexpr Pick MakePick(Source source) {
  Pick pick{};
  for (int o = 0; o < 64; ++o) pick.at[o] = static_cast<int8_t>(source(o));
  return pick;
}

ORVEX_AVX512 inline __m512i Load(const Pick& pick) { return _mm512_loadu_si512(pick.at); }

// The blocks below read each group's part of a block of frames with one
// 16-byte read into its own lane: four groups, `stride` apart, per register.
// Two registers then hold eight groups in 128 bytes, out of which one byte
// permute picks any frame's elements in group order.
ORVEX_AVX512 inline __m512i LoadLanes(const uint8_t* at, size_t stride) {
  auto lane = [&](int l) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + l * stride)); };
  __m512i v = _mm512_castsi128_si512(lane(0));
  v = _mm512_inserti32x4(v, lane(1), 1);
  v = _mm512_inserti32x4(v, lane(2), 2);
  return _mm512_inserti32x4(v, lane(3), 3);
}

// Byte `offset` of group i (0..7) of a pair of lane registers.
constexpr int InLanes(int i, int offset) { return (i / 4) * 64 + (i % 4) * 16 + offset; }

// A frame's part of eight or sixteen groups is 48 bytes, written exactly by a
// masked store: nothing spills into groups another thread or a later copy
// writes, and the steps can run up to the last group.
ORVEX_AVX512 inline void Store48(uint8_t* out, __m512i v) { _mm512_mask_storeu_epi8(out, 0xFFFFFFFFFFFFull, v); }

// The common end of the transposes: from four registers, of which the first
// two hold a block's earlier and the last two its later groups, one round of
// permutes picks two frames (24 bytes each) out of each pair, and a second
// joins each frame's earlier and later 24 bytes into its 48 bytes.
struct BlockPicks {
  __m512i frames01, frames23, join0, join1;
};

template <int kFrame>
constexpr Pick kJoinHalves =
    MakePick([](int o) { return o < 24 ? 24 * kFrame + o : o < 48 ? 64 + 24 * kFrame + o - 24 : 0; });

ORVEX_AVX512 inline void Block4(const BlockPicks& picks, __m512i r0, __m512i r1, __m512i r2, __m512i r3,
                                uint8_t* out, size_t frameBytes) {
  const __m512i low01 = _mm512_permutex2var_epi8(r0, picks.frames01, r1);
  const __m512i low23 = _mm512_permutex2var_epi8(r0, picks.frames23, r1);
  const __m512i high01 = _mm512_permutex2var_epi8(r2, picks.frames01, r3);
  const __m512i high23 = _mm512_permutex2var_epi8(r2, picks.frames23, r3);
  Store48(out, _mm512_permutex2var_epi8(low01, picks.join0, high01));
  Store48(out + frameBytes, _mm512_permutex2var_epi8(low01, picks.join1, high01));
  Store48(out + 2 * frameBytes, _mm512_permutex2var_epi8(low23, picks.join0, high23));
  Store48(out + 3 * frameBytes, _mm512_permutex2var_epi8(low23, picks.join1, high23));
}

template <const Pick& kFrames01, const Pick& kFrames23>
ORVEX_AVX512 BlockPicks LoadBlockPicks() {
  return {Load(kFrames01), Load(kFrames23), Load(kJoinHalves<0>), Load(kJoinHalves<1>)};
}

// 8-bit stacks of four to eight frames: steps of sixteen groups, blocks of four
// frames (the last block starts four before the end and may overlap the one
// before it), four groups of a block per register in 16-byte lanes.
template <int kFirstFrame>
constexpr Pick kTwoFramesOf8 =
    MakePick([](int o) { return o < 48 ? InLanes(o % 24 / 3, 3 * (kFirstFrame + o / 24) + o % 3) : 0; });

// Stacks of at most ten frames: four groups (all frames) fit into two 64-byte
// reads, and a permute forms each block's lanes out of them, which costs less
// than the lane reads (each of those a read and a blend).
constexpr uint32_t kMaxPairedReadFrames = 10;

ORVEX_AVX512 void PairedReadSteps8(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes,
                                   size_t steps) {
  const size_t groupBytes = 3 * size_t{frames};
  const BlockPicks picks = LoadBlockPicks<kTwoFramesOf8<0>, kTwoFramesOf8<2>>();
  const uint32_t blocks = (frames + 3) / 4;
  __m512i lanes[(kMaxPairedReadFrames + 3) / 4];
  for (uint32_t k = 0; k < blocks; ++k) {
    const uint32_t first = std::min(4 * k, frames - 4);
    int8_t at[64];
    for (int o = 0; o < 64; ++o)
      at[o] = static_cast<int8_t>(o % 16 < 12 ? o / 16 * groupBytes + 3 * first + o % 16 : 0);
    lanes[k] = _mm512_loadu_si512(at);
  }
  for (size_t s = 0; s < steps; ++s, src += 16 * groupBytes, dst += 48) {
    __m512i quads[4][2];
    for (int q = 0; q < 4; ++q) {
      quads[q][0] = _mm512_loadu_si512(src + 4 * q * groupBytes);
      quads[q][1] = _mm512_loadu_si512(src + 4 * q * groupBytes + 64);
    }
    for (uint32_t k = 0; k < blocks; ++k) {
      __m512i r[4];
      for (int q = 0; q < 4; ++q) r[q] = _mm512_permutex2var_epi8(quads[q][0], lanes[k], quads[q][1]);
      Block4(picks, r[0], r[1], r[2], r[3], dst + std::min(4 * k, frames - 4) * frameBytes, frameBytes);
    }
  }
}

// 16-bit stacks of two or three frames: steps of sixteen groups, blocks of
// two frames (three end with an overlapping pair); one permute per frame and
// eight groups. Each frame receives 96 consecutive bytes per step, which its
// destination stream takes better than 48.
template <int kFrame>
constexpr Pick kFrameOf16 = MakePick([](int o) { return o < 48 ? InLanes(o / 6, 6 * kFrame + o % 6) : 0; });

ORVEX_AVX512 void PairedSteps16(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes, size_t steps) {
  const size_t groupBytes = 6 * size_t{frames};
  const __m512i frame0 = Load(kFrameOf16<0>), frame1 = Load(kFrameOf16<1>);
  for (size_t s = 0; s < steps; ++s, src += 16 * groupBytes, dst += 96)
    for (uint32_t first = 0;; first = std::min(first + 2, frames - 2)) {
      for (size_t half = 0; half < 2; ++half) {
        const uint8_t* in = src + 8 * half * groupBytes + 6 * size_t{first};
        const __m512i r0 = LoadLanes(in, groupBytes), r1 = LoadLanes(in + 4 * groupBytes, groupBytes);
        uint8_t* out = dst + first * frameBytes + 48 * half;
        Store48(out, _mm512_permutex2var_epi8(r0, frame0, r1));
        Store48(out + frameBytes, _mm512_permutex2var_epi8(r0, frame1, r1));
      }
      if (first + 2 == frames) break;
    }
}

// The larger stacks read a group's part of a block with one 32-byte read, two
// groups to a register by one insert, where 16-byte lanes take four reads and
// three inserts: those cost the lane kernels more than their permutes. The
// block takes 24 bytes of the 32; the last block of a step reads 8 bytes into
// the next group.
ORVEX_AVX512 inline __m512i LoadTwoGroups(const uint8_t* at, size_t groupBytes) {
  const __m512i low = _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + groupBytes));
  // The merging form: GCC's plain insert warns of its undefined pass-through.
  return _mm512_mask_inserti64x4(low, 0xFF, low, high, 1);
}

// Byte `offset` of group i (0..3) of a pair of two-group registers.
constexpr int InPairs(int i, int offset) { return (i / 2) * 64 + (i % 2) * 32 + offset; }

// 16-bit stacks of four frames or more: steps of sixteen groups in halves of
// eight, blocks of four frames (the last may overlap the one before it).
template <int kFirstFrame>
constexpr Pick kTwoFramesOf4Groups16 =
    MakePick([](int o) { return o < 48 ? InPairs(o % 24 / 6, 6 * (kFirstFrame + o / 24) + o % 6) : 0; });

ORVEX_AVX512 void QuadSteps16(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes, size_t steps) {
  const size_t groupBytes = 6 * size_t{frames};
  const BlockPicks picks = LoadBlockPicks<kTwoFramesOf4Groups16<0>, kTwoFramesOf4Groups16<2>>();
  for (size_t s = 0; s < steps; ++s, src += 16 * groupBytes, dst += 96)
    for (uint32_t first = 0;; first = std::min(first + 4, frames - 4)) {
      for (size_t half = 0; half < 2; ++half) {
        const uint8_t* in = src + 8 * half * groupBytes + 6 * size_t{first};
        __m512i r[4];
        for (size_t j = 0; j < 4; ++j) r[j] = LoadTwoGroups(in + 2 * j * groupBytes, groupBytes);
        Block4(picks, r[0], r[1], r[2], r[3], dst + first * frameBytes + 48 * half, frameBytes);
      }
      if (first + 4 == frames) break;
    }
}

// 16-bit stacks of sixteen frames or more: blocks of eight frames, whose
// 48 bytes of a group one 64-byte read takes (16 bytes into the next group for
// the last block). A first round of permutes forms QuadSteps16's registers out
// of each two groups: half its reads, a permute in place of each insert. The
// last block overlaps up to seven frames, which smaller stacks would feel.
constexpr uint32_t kMinOctFrames16 = 16;

template <int kFirstFrame>
constexpr Pick kFourFramesOfTwoGroups16 = MakePick([](int o) {
  const int group = o / 32, within = o % 32;
  return within < 24 ? group * 64 + 6 * (kFirstFrame + within / 6) + within % 6 : 0;
});

ORVEX_AVX512 void OctSteps16(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes, size_t steps) {
  const size_t groupBytes = 6 * size_t{frames};
  const __m512i four0 = Load(kFourFramesOfTwoGroups16<0>), four1 = Load(kFourFramesOfTwoGroups16<4>);
  const BlockPicks picks = LoadBlockPicks<kTwoFramesOf4Groups16<0>, kTwoFramesOf4Groups16<2>>();
  // The first halves of all blocks, then the second halves: a frame's two
  // stores of a step, to the same or neighbouring lines, then lie a whole pass
  // of the blocks apart. Eight stores apart (blocks outermost) they took
  // about 10 % longer on this class of processor.
  for (size_t s = 0; s < steps; ++s, src += 16 * groupBytes, dst += 96)
    for (size_t half = 0; half < 2; ++half)
      for (uint32_t first = 0;; first = std::min(first + 8, frames - 8)) {
        const uint8_t* in = src + 8 * half * groupBytes + 6 * size_t{first};
        __m512i fours[2][4];  // frames 0..3 and 4..7 of the block, two groups each
        for (size_t j = 0; j < 4; ++j) {
          const __m512i a = _mm512_loadu_si512(in + 2 * j * groupBytes);
          const __m512i b = _mm512_loadu_si512(in + (2 * j + 1) * groupBytes);
          fours[0][j] = _mm512_permutex2var_epi8(a, four0, b);
          fours[1][j] = _mm512_permutex2var_epi8(a, four1, b);
        }
        for (size_t h = 0; h < 2; ++h)
          Block4(picks, fours[h][0], fours[h][1], fours[h][2], fours[h][3],
                 dst + (first + 4 * h) * frameBytes + 48 * half, frameBytes);
        if (first + 8 == frames) break;
      }
}

// 8-bit stacks of more than ten frames: steps of sixteen groups, blocks of
// eight frames (the last may overlap the one before it). A first round of
// permutes turns each four groups into two registers of four frames (12 bytes
// each), which Block4 then transposes as the other kernels' lanes.
template <int kFirstFrame>
constexpr Pick kFourFramesOf4Groups8 =
    MakePick([](int o) { return o < 48 ? InPairs(o % 12 / 3, 3 * (kFirstFrame + o / 12) + o % 3) : 0; });

// Byte `offset` of group i (0..7) of a pair of those registers.
constexpr int InQuads(int i, int offset) { return (i / 4) * 64 + (i % 4) * 3 + offset; }

template <int kFirstFrame>
constexpr Pick kTwoFramesOfQuads8 =
    MakePick([](int o) { return o < 48 ? InQuads(o % 24 / 3, 12 * (kFirstFrame + o / 24) + o % 3) : 0; });

ORVEX_AVX512 void OctSteps8(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes, size_t steps) {
  const size_t groupBytes = 3 * size_t{frames};
  const __m512i quad0 = Load(kFourFramesOf4Groups8<0>), quad1 = Load(kFourFramesOf4Groups8<4>);
  const BlockPicks picks = LoadBlockPicks<kTwoFramesOfQuads8<0>, kTwoFramesOfQuads8<2>>();
  for (size_t s = 0; s < steps; ++s, src += 16 * groupBytes, dst += 48)
    for (uint32_t first = 0;; first = std::min(first + 8, frames - 8)) {
      const uint8_t* in = src + 3 * size_t{first};
      __m512i quads[2][4];  // frames 0..3 and 4..7 of the block, four groups each
      for (size_t m = 0; m < 4; ++m) {
        const __m512i r0 = LoadTwoGroups(in + 4 * m * groupBytes, groupBytes);
        const __m512i r1 = LoadTwoGroups(in + (4 * m + 2) * groupBytes, groupBytes);
        quads[0][m] = _mm512_permutex2var_epi8(r0, quad0, r1);
        quads[1][m] = _mm512_permutex2var_epi8(r0, quad1, r1);
      }
      for (size_t h = 0; h < 2; ++h)
        Block4(picks, quads[h][0], quads[h][1], quads[h][2], quads[h][3], dst + (first + 4 * h) * frameBytes,
               frameBytes);
      if (first + 8 == frames) break;
    }
}

// 8-bit stacks of nine or ten frames: the reads of PairedReadSteps8, blocks of five frames
// (nine overlap by one). A first permute per four groups picks the block's
// five frames of them (12 bytes per frame) and Block4 transposes the first
// four; the fifth takes three permutes more. That is 30 permutes a step where
// blocks of four take 36, and the permutes are what these steps wait on.
constexpr uint32_t kMinFiveFrames = 9;

template <int kFrame>
constexpr Pick kFrameOfQuads8 = MakePick([](int o) { return o < 24 ? InQuads(o / 3, 12 * kFrame + o % 3) : 0; });

ORVEX_AVX512 void FiveFrameSteps8(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes,
                                  size_t steps) {
  const size_t groupBytes = 3 * size_t{frames};
  const BlockPicks picks = LoadBlockPicks<kTwoFramesOfQuads8<0>, kTwoFramesOfQuads8<2>>();
  const __m512i frame4 = Load(kFrameOfQuads8<4>);
  const uint32_t firsts[2] = {0, frames - 5};
  __m512i fives[2];
  for (int b = 0; b < 2; ++b) {
    int8_t at[64];
    for (int o = 0; o < 64; ++o)
      at[o] = static_cast<int8_t>(o < 60 ? o % 12 / 3 * groupBytes + 3 * (firsts[b] + o / 12) + o % 3 : 0);
    fives[b] = _mm512_loadu_si512(at);
  }
  for (size_t s = 0; s < steps; ++s, src += 16 * groupBytes, dst += 48) {
    __m512i quads[4][2];
    for (int q = 0; q < 4; ++q) {
      quads[q][0] = _mm512_loadu_si512(src + 4 * q * groupBytes);
      quads[q][1] = _mm512_loadu_si512(src + 4 * q * groupBytes + 64);
    }
    for (int b = 0; b < 2; ++b) {
      __m512i t[4];
      for (int q = 0; q < 4; ++q) t[q] = _mm512_permutex2var_epi8(quads[q][0], fives[b], quads[q][1]);
      uint8_t* out = dst + firsts[b] * frameBytes;
      Block4(picks, t[0], t[1], t[2], t[3], out, frameBytes);
      const __m512i low = _mm512_permutex2var_epi8(t[0], frame4, t[1]);
      const __m512i high = _mm512_permutex2var_epi8(t[2], frame4, t[3]);
      Store48(out + 4 * frameBytes, _mm512_permutex2var_epi8(low, picks.join0, high));
    }
  }
}

// 32-bit elements: steps of sixteen groups, one frame at a time. A frame's
// part of a step is 192 bytes, written as three whole 64-byte stores: on this
// class of processor a pass runs at the speed of a copy only with full-width
// stores, and 32-byte ones cost it about 40 % more. Each group's three
// elements come with one 16-byte read (its fourth dword belongs to the next
// frame or group), four groups to a register, and three dword permutes, each
// of two neighbouring registers, drop the fourth dwords.
struct DwordPicks {
  int32_t at[3][16];
};

constexpr DwordPicks MakeDwordPicks() {
  DwordPicks picks{};
  for (int k = 0; k < 3; ++k)
    for (int o = 0; o < 16; ++o) {
      const int element = 16 * k + o, group = element / 3;
      const int dword = group % 4 * 4 + element % 3;
      picks.at[k][o] = group / 4 == k ? dword : 16 + dword;
    }
  return picks;
}

constexpr DwordPicks kDwordPicks = MakeDwordPicks();

// Frames `frames` of groups `groupBytes` apart (a band of a larger stack's frames).
ORVEX_AVX512 void Steps32(const uint8_t* src, uint8_t* dst, size_t groupBytes, uint32_t frames, size_t frameBytes,
                          size_t steps) {
  __m512i pick[3];
  for (int k = 0; k < 3; ++k) pick[k] = _mm512_loadu_si512(kDwordPicks.at[k]);
  for (size_t s = 0; s < steps; ++s, src += 16 * groupBytes, dst += 192) {
    const uint8_t* in = src;
    uint8_t* out = dst;
    for (uint32_t f = 0; f < frames; ++f, in += 12, out += frameBytes) {
      __m512i r[4];
      for (int q = 0; q < 4; ++q) r[q] = LoadLanes(in + 4 * q * groupBytes, groupBytes);
      for (int k = 0; k < 3; ++k)
        _mm512_storeu_si512(out + 64 * k, _mm512_permutex2var_epi32(r[k], pick[k], r[k + 1]));
    }
  }
}

// A stack's steps, in two bands of frames where that pays.
ORVEX_AVX512 void RegroupSteps32(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes, size_t steps) {
  const size_t groupBytes = 12 * size_t{frames};
  if (!RegroupsInBands(frames)) return Steps32(src, dst, groupBytes, frames, frameBytes, steps);
  auto band = [=](const uint8_t* in, uint8_t* out, uint32_t first, uint32_t count, size_t run) {
    Steps32(in + 12 * first, out + first * frameBytes, groupBytes, count, frameBytes, run);
  };
  RunInBands(src, dst, frames, 16, steps, band);
}

}  // namespace

size_t RegroupGroupsAvx512(size_t elementBytes, const uint8_t* src, uint8_t* dst, uint32_t frames,
                           size_t frameBytes, size_t count) {
  if (!RegroupsOnAvx512(elementBytes, frames) || count == 0) return 0;
  if (elementBytes == 1 && frames <= kMaxPairedReadFrames) {
    // The second read of the last four groups passes their end by up to 128 - 12 * frames bytes.
    const size_t following = 1 + 128 / (3 * frames);
    const size_t pairedSteps = count > following ? (count - following) / 16 : 0;
    if (frames >= kMinFiveFrames)
      FiveFrameSteps8(src, dst, frames, frameBytes, pairedSteps);
    else
      PairedReadSteps8(src, dst, frames, frameBytes, pairedSteps);
    return 16 * pairedSteps;
  }
  // The reads pass a step's last group by up to 16 bytes: one group must follow.
  const size_t steps = (count - 1) / 16;
  if (elementBytes == 4)
    RegroupSteps32(src, dst, frames, frameBytes, steps);
  else if (elementBytes == 1)
    OctSteps8(src, dst, frames, frameBytes, steps);
  else if (frames >= kMinOctFrames16)
    OctSteps16(src, dst, frames, frameBytes, steps);
  else if (frames >= 4)
    QuadSteps16(src, dst, frames, frameBytes, steps);
  else
    PairedSteps16(src, dst, frames, frameBytes, steps);
  return 16 * steps;
}

}  // namespace orvex

#else

namespace orvex {

size_t RegroupGroupsAvx512(size_t, const uint8_t*, uint8_t*, uint32_t, size_t, size_t) { return 0; }

}  // namespace orvex

#endif
