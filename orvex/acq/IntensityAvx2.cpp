// AVX2 kernels of the intensity routine (see IntensityRoutine.cpp for the
// planes). Lane by lane the operations and their order are those of the
// portable kernel, so the planes are the same bit for bit.
#include "acq/Avx2Kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <algorithm>

// No FMA: a fused multiply-add would round once where the portable kernel
// rounds twice.
#define ORVEX_AVX2 __attribute__((target("avx2")))

namespace orvex {
namespace {

constexpr float kHighDynamicThreshold = 300.0f;

ORVEX_AVX2 inline __m256 FirstWords(__m256i v) {
  return _mm256_cvtepi32_ps(_mm256_and_si256(v, _mm256_set1_epi32(0xFFFF)));
}
ORVEX_AVX2 inline __m256 SecondWords(__m256i v) { return _mm256_cvtepi32_ps(_mm256_srli_epi32(v, 16)); }
ORVEX_AVX2 inline void Store(uint8_t* p, __m256 v) { _mm256_storeu_ps(reinterpret_cast<float*>(p), v); }
ORVEX_AVX2 inline void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// The dark averages of eight pixels.
struct Dark {
  __m256 first, second;
};

// The high-dynamic-range value: the first word less its dark, above the
// threshold the second word less its dark times the factor, never negative.
ORVEX_AVX2 inline __m256 PlaneValue(__m256i v, const Dark& dark, __m256 factor) {
  __m256 value = _mm256_sub_ps(FirstWords(v), dark.first);
  const __m256 scaled = _mm256_mul_ps(_mm256_sub_ps(SecondWords(v), dark.second), factor);
  value = _mm256_blendv_ps(value, scaled, _mm256_cmp_ps(value, _mm256_set1_ps(kHighDynamicThreshold), _CMP_GT_OQ));
  return _mm256_andnot_ps(_mm256_cmp_ps(value, _mm256_setzero_ps(), _CMP_LT_OQ), value);
}

// One frame of eight groups of 32-bit pixels (12 bytes each, groupBytes
// apart in the source) as the 24 pixels in order, three vectors of eight.
// Each group is read as 16 bytes: 4 past the frame, never past the group,
// since the last frame is never read.
ORVEX_AVX2 inline __m256i LoadPair(const uint8_t* at, size_t groupBytes) {
  return _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + groupBytes)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
}

ORVEX_AVX2 inline void LoadEightGroups(const uint8_t* at, size_t groupBytes, __m256i* v) {
  // Groups 2k, 2k + 1 in dwords 0-2 and 4-6 of pair k.
  const __m256i p01 = LoadPair(at, groupBytes), p23 = LoadPair(at + 2 * groupBytes, groupBytes);
  const __m256i p45 = LoadPair(at + 4 * groupBytes, groupBytes), p67 = LoadPair(at + 6 * groupBytes, groupBytes);
  v[0] = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(p01, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 0, 0)),
                            _mm256_permutevar8x32_epi32(p23, _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 0, 1)), 0xC0);
  v[1] = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(p23, _mm256_setr_epi32(2, 4, 5, 6, 0, 0, 0, 0)),
                            _mm256_permutevar8x32_epi32(p45, _mm256_setr_epi32(0, 0, 0, 0, 0, 1, 2, 4)), 0xF0);
  v[2] = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(p45, _mm256_setr_epi32(5, 6, 0, 0, 0, 0, 0, 0)),
                            _mm256_permutevar8x32_epi32(p67, _mm256_setr_epi32(0, 0, 0, 1, 2, 4, 5, 6)), 0xFC);
}

// A step: eight groups, the pixels of one frame in three vectors.
constexpr size_t kStepGroups = 8;
constexpr int kStepVectors = 3;
// A tile: the steps whose planes are made frame by frame together, so that
// each destination frame receives runs of 480 bytes rather than 96: with many
// frames, short runs in as many places leave the writes waiting.
constexpr size_t kTileSteps = 5;

struct StepFrame {
  __m256i v[kStepVectors];
};

ORVEX_AVX2 inline StepFrame LoadStepFrame(const uint8_t* src, size_t groupBytes, uint32_t f) {
  StepFrame frame;
  LoadEightGroups(src + size_t{f} * 12, groupBytes, frame.v);
  return frame;
}

ORVEX_AVX2 inline void StoreStepFrame(uint8_t* out, const StepFrame& frame) {
  for (int k = 0; k < kStepVectors; ++k) Store(out + 32 * k, frame.v[k]);
}

// Asks for `bytes` from `at` into the cache in even portions, one per Next().
struct SpreadPrefetch {
  const uint8_t* at;
  size_t bytes, portion, done = 0;
  ORVEX_AVX2 void Next() {
    for (const size_t end = std::min(bytes, done + portion); done < end; done += 64)
      _mm_prefetch(reinterpret_cast<const char*>(at + done), _MM_HINT_T0);
  }
};

// The planes of `steps` (at most kTileSteps) consecutive steps, reading each
// source frame once (the frames no plane uses not at all) and writing each
// destination value once. A tile reads its source a frame at a time, 12 bytes
// in each of its groups: a stride the hardware does not fetch ahead. So the
// next tile's source, `ahead`, is asked for while this one is worked on.
ORVEX_AVX2 void TilePlanes(const uint8_t* src, uint8_t* dst, size_t steps, size_t frameBytes,
                           const IntensityParams& p, const uint8_t* ahead, size_t aheadBytes) {
  const uint32_t n = p.frames, d = p.darkFrames;
  const size_t groupBytes = size_t{n} * 12, stepBytes = kStepGroups * groupBytes;
  auto stepIn = [&](size_t s) { return src + s * stepBytes; };
  auto frameOut = [&](uint32_t f, size_t s) { return dst + size_t{f} * frameBytes + s * kStepGroups * 12; };
  // Frames N-D-1 .. N-3 keep their raw values.
  auto keepsRaw = [&](uint32_t f) { return f + d + 1 >= n && f + 3 <= n; };
  const __m256 divisor = _mm256_set1_ps(static_cast<float>(d - 1));
  Dark dark[kTileSteps][kStepVectors];
  for (size_t s = 0; s < steps; ++s) {
    __m256 sum0[kStepVectors], sum1[kStepVectors];
    for (int k = 0; k < kStepVectors; ++k) sum0[k] = sum1[k] = _mm256_setzero_ps();
    for (uint32_t f = 1; f < d; ++f) {
      const StepFrame frame = LoadStepFrame(stepIn(s), groupBytes, f);
      for (int k = 0; k < kStepVectors; ++k) {
        sum0[k] = _mm256_add_ps(sum0[k], FirstWords(frame.v[k]));
        sum1[k] = _mm256_add_ps(sum1[k], SecondWords(frame.v[k]));
      }
      if (keepsRaw(f)) StoreStepFrame(frameOut(f, s), frame);
    }
    for (int k = 0; k < kStepVectors; ++k)
      dark[s][k] = Dark{_mm256_div_ps(sum0[k], divisor), _mm256_div_ps(sum1[k], divisor)};
    if (keepsRaw(d)) StoreStepFrame(frameOut(d, s), LoadStepFrame(stepIn(s), groupBytes, d));
    const StepFrame reference = LoadStepFrame(stepIn(s), groupBytes, d + 1);
    for (int k = 0; k < kStepVectors; ++k) {
      Store(frameOut(0, s) + 32 * k, _mm256_sub_ps(FirstWords(reference.v[k]), dark[s][k].first));
      Store(frameOut(1, s) + 32 * k, _mm256_sub_ps(SecondWords(reference.v[k]), dark[s][k].second));
      Store(frameOut(n - 2, s) + 32 * k, dark[s][k].second);
      Store(frameOut(n - 1, s) + 32 * k, dark[s][k].first);
    }
  }
  // Frames D + 1 .. N-3 become the high-dynamic-range planes 2 .. N-D-2.
  const __m256 factor = _mm256_set1_ps(p.factor);
  const size_t iterations = size_t{n - d - 2} * steps;
  SpreadPrefetch prefetch{ahead, aheadBytes, (aheadBytes / iterations + 64) & ~size_t{63}};
  for (uint32_t f = d + 1; f + 3 <= n; ++f) {
    const bool raw = keepsRaw(f);
    for (size_t s = 0; s < steps; ++s) {
      prefetch.Next();
      const StepFrame frame = LoadStepFrame(stepIn(s), groupBytes, f);
      uint8_t* plane = frameOut(f - d + 1, s);
      for (int k = 0; k < kStepVectors; ++k) Store(plane + 32 * k, PlaneValue(frame.v[k], dark[s][k], factor));
      if (raw) StoreStepFrame(frameOut(f, s), frame);
    }
  }
}

}  // namespace

ORVEX_AVX2 size_t IntensityStepsAvx2(const uint8_t* src, uint8_t* dst, size_t groups, size_t frameBytes,
                                     const IntensityParams& params) {
  const size_t steps = groups / kStepGroups;
  const size_t groupBytes = size_t{params.frames} * 12, stepBytes = kStepGroups * groupBytes;
  for (size_t s = 0; s < steps; s += kTileSteps) {
    const size_t tile = std::min(kTileSteps, steps - s);
    const size_t next = (s + tile) * stepBytes, sourceBytes = groups * groupBytes;
    TilePlanes(src + s * stepBytes, dst + s * kStepGroups * 12, tile, frameBytes, params, src + next,
               std::min(tile * stepBytes, sourceBytes - next));
  }
  return steps * kStepGroups;
}

}  // namespace orvex

#else

namespace orvex {

size_t IntensityStepsAvx2(const uint8_t*, uint8_t*, size_t, size_t, const IntensityParams&) { return 0; }

}  // namespace orvex

#endif
