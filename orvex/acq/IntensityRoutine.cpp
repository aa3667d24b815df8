// Intensity planes from an intensity-mode stack. Every plane value of a pixel
// depends only on that pixel's frames. The AVX2 kernel (IntensityAvx2.cpp)
// reads eight groups of all frames at a time and writes their planes
// directly, so each byte is read and written once. The portable kernel works
// row by row: it regroups one row of every frame into the destination
// (reading the source in its order), then turns that row, still in cache,
// into planes in place, four pixels per SSE2 operation. The float operations
// and their order are those of the plane-by-plane description (dark sums
// accumulated frame by frame from 0.0, one division, then one subtraction and
// at most one multiplication per value), so the result is the same bit for
// bit on either kernel.
//
// Destination frame f (360000 bytes, 90000 four-byte values) holds afterwards:
//   0                 first word of frame D+1 minus dark0
//   1                 second word of frame D+1 minus dark1
//   2 .. N-D-2        high-dynamic-range plane of frame D+1+(f-2)
//   N-D-1 .. N-3      the raw u32 values of frame f (regrouped, untouched)
//   N-2, N-1          dark1, dark0
// Within a pixel, every frame is read before its plane is written.
#include <algorithm>
#include <cstring>

#include "acq/Avx2Kernels.h"
#include "acq/ProcessRoutines.h"
#include "acq/RegroupKernel.h"
#include "acq/UnalignedAccess.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvex {
namespace {

constexpr size_t kRows = 300;
constexpr size_t kGroupsPerRow = 100;
constexpr size_t kRowBytes = 300 * 4;
constexpr size_t kFrameBytes = kRows * kRowBytes;
constexpr float kHighDynamicThreshold = 300.0f;

inline uint8_t* Frame(uint8_t* at, uint32_t frame) { return at + size_t{frame} * kFrameBytes; }

inline float HighDynamic(uint32_t v, float dark0, float dark1, float factor) {
  float value = static_cast<float>(v & 0xFFFF) - dark0;
  if (value > kHighDynamicThreshold) value = (static_cast<float>(v >> 16) - dark1) * factor;
  if (value < 0.0f) value = 0.0f;
  return value;
}

// One pixel of a row; `at` is its place in frame 0.
void PixelPlanes(uint8_t* at, const IntensityParams& p) {
  const uint32_t n = p.frames, d = p.darkFrames;
  float sum0 = 0.0f, sum1 = 0.0f;
  for (uint32_t f = 1; f < d; ++f) {
    uint32_t v = LoadU32(Frame(at, f));
    sum0 += static_cast<float>(v & 0xFFFF);
    sum1 += static_cast<float>(v >> 16);
  }
  const float divisor = static_cast<float>(d - 1);
  const float dark0 = sum0 / divisor, dark1 = sum1 / divisor;
  const uint32_t reference = LoadU32(Frame(at, d + 1));
  StoreF32(at, static_cast<float>(reference & 0xFFFF) - dark0);
  StoreF32(Frame(at, 1), static_cast<float>(reference >> 16) - dark1);
  for (uint32_t plane = 2; plane + d + 2 <= n; ++plane)
    StoreF32(Frame(at, plane), HighDynamic(LoadU32(Frame(at, plane + d - 1)), dark0, dark1, p.factor));
  StoreF32(Frame(at, n - 2), dark1);
  StoreF32(Frame(at, n - 1), dark0);
}

#if defined(__SSE2__)
inline __m128i LoadWords(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128 FirstWords(__m128i v) { return _mm_cvtepi32_ps(_mm_and_si128(v, _mm_set1_epi32(0xFFFF))); }
inline __m128 SecondWords(__m128i v) { return _mm_cvtepi32_ps(_mm_srli_epi32(v, 16)); }
inline void StorePlane(uint8_t* p, __m128 v) { _mm_storeu_ps(reinterpret_cast<float*>(p), v); }

// PixelPlanes for four neighbouring pixels, lane by lane the same operations.
void FourPixelPlanes(uint8_t* at, const IntensityParams& p) {
  const uint32_t n = p.frames, d = p.darkFrames;
  __m128 sum0 = _mm_setzero_ps(), sum1 = _mm_setzero_ps();
  for (uint32_t f = 1; f < d; ++f) {
    __m128i v = LoadWords(Frame(at, f));
    sum0 = _mm_add_ps(sum0, FirstWords(v));
    sum1 = _mm_add_ps(sum1, SecondWords(v));
  }
  const __m128 divisor = _mm_set1_ps(static_cast<float>(d - 1));
  const __m128 dark0 = _mm_div_ps(sum0, divisor), dark1 = _mm_div_ps(sum1, divisor);
  const __m128i reference = LoadWords(Frame(at, d + 1));
  StorePlane(at, _mm_sub_ps(FirstWords(reference), dark0));
  StorePlane(Frame(at, 1), _mm_sub_ps(SecondWords(reference), dark1));
  const __m128 threshold = _mm_set1_ps(kHighDynamicThreshold), factor = _mm_set1_ps(p.factor);
  const __m128 zero = _mm_setzero_ps();
  for (uint32_t plane = 2; plane + d + 2 <= n; ++plane) {
    __m128i v = LoadWords(Frame(at, plane + d - 1));
    __m128 value = _mm_sub_ps(FirstWords(v), dark0);
    __m128 scaled = _mm_mul_ps(_mm_sub_ps(SecondWords(v), dark1), factor);
    __m128 above = _mm_cmpgt_ps(value, threshold);
    value = _mm_or_ps(_mm_and_ps(above, scaled), _mm_andnot_ps(above, value));
    value = _mm_andnot_ps(_mm_cmplt_ps(value, zero), value);
    StorePlane(Frame(at, plane), value);
  }
  StorePlane(Frame(at, n - 2), dark1);
  StorePlane(Frame(at, n - 1), dark0);
}
#endif

// The planes of regrouped pixels in place: `bytes` of frame 0 from `at`.
void RunPlanes(uint8_t* at, size_t bytes, const IntensityParams& p) {
  size_t x = 0;
#if defined(__SSE2__)
  for (; x + 16 <= bytes; x += 16) FourPixelPlanes(at + x, p);
#endif
  for (; x < bytes; x += 4) PixelPlanes(at + x, p);
}

}  // namespace

float ExposureFactor(uint32_t expRatio) {
  switch (expRatio) {
    case 1: return 4.0f;
    case 2: return 8.0f;
    case 3: return 16.0f;
    default: return 2.0f;
  }
}

bool IntensityFramesUsable(uint32_t frames, uint32_t darkFrames) {
  // Two dark frames for an average, then the reference frame D + 1 and the two
  // dark planes behind it.
  return darkFrames >= 2 && frames > darkFrames && frames - darkFrames >= 3;
}

bool ComputeIntensity(const void* src, size_t srcBytes, void* dst, size_t dstBytes, const IntensityParams& params) {
  return ComputeIntensity(BestSimdLevel(), src, srcBytes, dst, dstBytes, params);
}

bool ComputeIntensity(SimdLevel level, const void* src, size_t srcBytes, void* dst, size_t dstBytes,
                      const IntensityParams& params) {
  if (!src || !dst || !IntensityFramesUsable(params.frames, params.darkFrames)) return false;
  const uint64_t bytes = StackBytes(kStack300x300x32, params.frames);
  if (bytes > srcBytes || bytes > dstBytes) return false;
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dst);
  constexpr size_t kGroups = kRows * kGroupsPerRow;
  size_t group = HasAvx2(level) ? IntensityStepsAvx2(in, out, kGroups, kFrameBytes, params) : 0;
  in += group * params.frames * 12;
  // The rest (all of it on the portable kernel) a row at most at a time:
  // regrouped, then turned into planes while in cache.
  while (group < kGroups) {
    const size_t end = std::min(kGroups, (group / kGroupsPerRow + 1) * kGroupsPerRow);
    uint8_t* at = out + group * 12;
    in = RegroupGroupsOn<4>(level, in, at, params.frames, kFrameBytes, end - group, end == kGroups);
    RunPlanes(at, (end - group) * 12, params);
    group = end;
  }
  return true;
}

}  // namespace orvex
