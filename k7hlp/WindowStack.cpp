#include "WindowStack.h"

#include <algorithm>
#include <cmath>

#include "CpuFeatures.h"
#include "Status.h"

// The block steps are written once and inlined into a portable and an AVX2
// entry point; the vectoriser then gives each the width of its target. Without
// FMA in either, both round every step alike.
#if defined(__GNUC__)
#define K7HLP_BLOCK_STEP inline __attribute__((always_inline))
#else
#define K7HLP_BLOCK_STEP inline
#endif

namespace k7hlp {
namespace {

constexpr float kSurfaceScale = 1.0f / 32;
constexpr float kAmplitudeScale = 1.0f / 16;
constexpr float kPhaseScale = 1.0f / 8192;
// 256 pixels: a kilobyte of working floats per array, and half a kilobyte of
// every frame read as one sequential run for the prefetcher.
constexpr size_t kBlock = 256;

constexpr double kHalfPi = 1.5707963267948966;
constexpr float kTwoPiF = 6.2831855f;
constexpr float kPiF = 3.1415927f;
// The phase terms are floats compared with the double constants pi and pi / 2.
// Both float roundings lie above the double values, so for any float v:
// v > pi exactly when v >= kPiF, and v < pi / 2 exactly when v < kHalfPiF.
// Float comparisons keep the whole block in one vector width.
constexpr float kHalfPiF = 1.5707964f;
static_assert(static_cast<double>(kPiF) > 3.141592653589793, "float pi rounds up");
static_assert(static_cast<double>(kHalfPiF) > kHalfPi, "float pi / 2 rounds up");

// A reflection into [-pi, pi], not a wrap: that is what the phase slope needs.
K7HLP_BLOCK_STEP float Fold(float v) {
  v = v >= kPiF ? kTwoPiF - v : v;
  return v <= -kPiF ? -kTwoPiF - v : v;
}

K7HLP_BLOCK_STEP float Amplitude(const uint16_t* words, size_t i) {
  return static_cast<float>(words[i]) * kAmplitudeScale;
}

// Highest frame above the threshold and the straight line to the frame after
// it; a crossing in the last frame gives that frame's index, none gives 0.
// The first frame sets the running values instead of a clearing pass, and every
// running value is stored on every lane: a store on some lanes only would make
// the vectoriser branch around masked stores.
K7HLP_BLOCK_STEP void ThresholdBlock(const WindowStack& s, float t, size_t first, size_t n, float* position) {
  int32_t crossing[kBlock];
  float at[kBlock], next[kBlock];  // meaningful only behind a crossing
  const uint16_t* a0 = s.Plane(1, 0) + first;
  for (size_t i = 0; i < n; ++i) {
    const float v = Amplitude(a0, i);
    crossing[i] = v > t ? 0 : -1;
    at[i] = next[i] = v;
  }
  for (uint32_t k = 1; k < s.frames; ++k) {
    const uint16_t* a = s.Plane(1, k) + first;
    const int32_t frame = static_cast<int32_t>(k);
    for (size_t i = 0; i < n; ++i) {
      const float v = Amplitude(a, i);
      const int32_t c = crossing[i];
      const bool above = v > t;
      const float following = c == frame - 1 ? v : next[i];
      const float crossed = above ? v : at[i];
      crossing[i] = std::max(c, above ? frame : -1);
      next[i] = following;
      at[i] = crossed;
    }
  }
  const int32_t last = static_cast<int32_t>(s.frames) - 1;
  const int32_t middle = static_cast<int32_t>(s.Middle());
  for (size_t i = 0; i < n; ++i) {
    const int32_t c = crossing[i];
    // Lanes without a usable crossing divide by anything; their quotient is dropped.
    const float between = static_cast<float>(c - middle) + (t - at[i]) / (next[i] - at[i]);
    position[i] = c == last ? static_cast<float>(last) : c >= 0 ? between : 0.0f;
  }
}

// Centroid of the squared amplitudes relative to the middle frame, frames
// summed in ascending order from 0 (kept: 0 + -0 is +0). Returns true when a
// pixel has no energy.
K7HLP_BLOCK_STEP bool CentroidBlock(const WindowStack& s, size_t first, size_t n, float* position) {
  float weighted[kBlock], energy[kBlock];
  const int32_t middle = static_cast<int32_t>(s.Middle());
  const uint16_t* a0 = s.Plane(1, 0) + first;
  const float offset0 = static_cast<float>(-middle);
  for (size_t i = 0; i < n; ++i) {
    const float v = Amplitude(a0, i);
    const float v2 = v * v;
    weighted[i] = 0.0f + offset0 * v2;
    energy[i] = 0.0f + v2;
  }
  for (uint32_t k = 1; k < s.frames; ++k) {
    const uint16_t* a = s.Plane(1, k) + first;
    const float offset = static_cast<float>(static_cast<int32_t>(k) - middle);
    for (size_t i = 0; i < n; ++i) {
      const float v = Amplitude(a, i);
      const float v2 = v * v;
      weighted[i] += offset * v2;
      energy[i] += v2;
    }
  }
  int32_t empty = 0;
  for (size_t i = 0; i < n; ++i) empty |= energy[i] == 0.0f;
  for (size_t i = 0; i < n; ++i) position[i] = weighted[i] / energy[i];
  return empty != 0;
}

K7HLP_BLOCK_STEP void SurfaceBlock(const WindowStack& s, size_t first, size_t n, const float* position, float* out) {
  const uint16_t* coarse = s.Plane(0, s.Middle()) + first;
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<float>(coarse[i]) * kSurfaceScale + position[i];
}

// The phase of the middle frame, moved along the local phase slope to the
// sub-frame position, says how far the pixel lies from the frame centre: a
// correction of up to 0.25 / divisor frames, largest at a phase term of pi / 2.
K7HLP_BLOCK_STEP void CorrectedSurfaceBlock(const WindowStack& s, double divisor, size_t first, size_t n,
                                            const float* position, float* out) {
  const uint16_t* coarse = s.Plane(0, s.Middle()) + first;
  const uint16_t* before = s.Plane(2, s.Middle() - 1) + first;
  const uint16_t* mid = s.Plane(2, s.Middle()) + first;
  const uint16_t* after = s.Plane(2, s.Middle() + 1) + first;
  for (size_t i = 0; i < n; ++i) {
    const float p0 = static_cast<float>(before[i]) * kPhaseScale;
    const float p1 = static_cast<float>(mid[i]) * kPhaseScale;
    const float p2 = static_cast<float>(after[i]) * kPhaseScale;
    const float slope = Fold(position[i] > 0.0f ? p2 - p1 : p1 - p0);
    const float w = std::fabs(Fold(p1 - kPiF + slope * position[i]));
    const double r = static_cast<double>(w) / kHalfPi;
    const double rising = w < kHalfPiF ? r : 2.0 - r;
    const float correction = static_cast<float>(rising * 0.25 / divisor);
    out[i] = (static_cast<float>(coarse[i]) * kSurfaceScale + position[i]) + correction;
  }
}

K7HLP_BLOCK_STEP int SurfaceBlocks(const WindowStack& s, const SubFrameSettings& settings, float* out) {
  float position[kBlock];
  for (size_t first = 0; first < s.pixels; first += kBlock) {
    const size_t n = std::min(kBlock, s.pixels - first);
    if (settings.method == SubFrameMethod::kThreshold) {
      ThresholdBlock(s, settings.threshold, first, n, position);
    } else if (CentroidBlock(s, first, n, position)) {
      return kZeroEnergy;
    }
    if (settings.method == SubFrameMethod::kCentroidPhase)
      CorrectedSurfaceBlock(s, settings.phaseDivisor, first, n, position, out + first);
    else
      SurfaceBlock(s, first, n, position, out + first);
  }
  return kOk;
}

int SurfacePortable(const WindowStack& s, const SubFrameSettings& settings, float* out) {
  return SurfaceBlocks(s, settings, out);
}

K7HLP_AVX2 int SurfaceAvx2(const WindowStack& s, const SubFrameSettings& settings, float* out) {
  return SurfaceBlocks(s, settings, out);
}

}  // namespace

int WindowSurface(const WindowStack& stack, const SubFrameSettings& settings, bool avx2, float* out) {
  return avx2 ? SurfaceAvx2(stack, settings, out) : SurfacePortable(stack, settings, out);
}

void ScaleWords(const uint16_t* words, size_t count, float scale, float* out) {
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<float>(words[i]) * scale;
}

}  // namespace k7hlp
