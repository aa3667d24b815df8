// Intensity planes from an intensity-mode stack. The sensor delivers, per group
// of three pixels, all frames of the group next to each other; every plane value
// of a pixel depends only on that pixel's frames. So the routine reads each
// group's block once and writes its three values into every destination frame,
// with the same float operations in the same order as the plane-by-plane
// description (dark sums accumulated frame by frame, one division, then one
// subtraction and at most one multiplication per value).
//
// Destination frame f (360000 bytes, 90000 four-byte values) holds afterwards:
//   0                 first word of frame D+1 minus dark0
//   1                 second word of frame D+1 minus dark1
//   2 .. N-D-2        high-dynamic-range plane of frame D+1+(f-2)
//   N-D-1 .. N-3      the raw u32 values of frame f (regrouped, untouched)
//   N-2, N-1          dark1, dark0
#include <cstring>

#include "acq/ProcessRoutines.h"
#include "acq/UnalignedAccess.h"

namespace orvex {
namespace {

constexpr size_t kGroupPixels = 3;
constexpr size_t kFrameBytes = 300 * 300 * 4;
constexpr size_t kGroupCount = 300 * 100;
constexpr float kHighDynamicThreshold = 300.0f;

struct Dark {
  float first[kGroupPixels];
  float second[kGroupPixels];
};

inline uint32_t Sample(const uint8_t* block, uint32_t frame, size_t pixel) {
  return LoadU32(block + (size_t{frame} * kGroupPixels + pixel) * 4);
}

Dark DarkAverages(const uint8_t* block, uint32_t darkFrames) {
  Dark dark{};
  const float divisor = static_cast<float>(darkFrames - 1);
  for (size_t k = 0; k < kGroupPixels; ++k) {
    float first = 0.0f, second = 0.0f;
    for (uint32_t f = 1; f < darkFrames; ++f) {
      uint32_t v = Sample(block, f, k);
      first += static_cast<float>(v & 0xFFFF);
      second += static_cast<float>(v >> 16);
    }
    dark.first[k] = first / divisor;
    dark.second[k] = second / divisor;
  }
  return dark;
}

inline float HighDynamic(uint32_t v, float dark0, float dark1, float factor) {
  float value = static_cast<float>(v & 0xFFFF) - dark0;
  if (value > kHighDynamicThreshold) value = (static_cast<float>(v >> 16) - dark1) * factor;
  if (value < 0.0f) value = 0.0f;
  return value;
}

void ProcessGroup(const uint8_t* block, uint8_t* out, const IntensityParams& p) {
  const uint32_t n = p.frames, d = p.darkFrames;
  const Dark dark = DarkAverages(block, d);
  const uint32_t reference = d + 1;
  for (size_t k = 0; k < kGroupPixels; ++k) {
    uint32_t v = Sample(block, reference, k);
    StoreF32(out + k * 4, static_cast<float>(v & 0xFFFF) - dark.first[k]);
    StoreF32(out + kFrameBytes + k * 4, static_cast<float>(v >> 16) - dark.second[k]);
  }
  // Plane 2 + j from frame D + 1 + j, for j up to N - D - 4.
  const uint32_t lastPlane = n - d - 2;
  for (uint32_t plane = 2; plane <= lastPlane; ++plane) {
    uint8_t* line = out + plane * kFrameBytes;
    const uint32_t frame = plane + d - 1;
    for (size_t k = 0; k < kGroupPixels; ++k)
      StoreF32(line + k * 4, HighDynamic(Sample(block, frame, k), dark.first[k], dark.second[k], p.factor));
  }
  for (uint32_t frame = lastPlane + 1; frame + 2 < n; ++frame)
    std::memcpy(out + frame * kFrameBytes, block + size_t{frame} * kGroupPixels * 4, kGroupPixels * 4);
  uint8_t* secondDark = out + size_t{n - 2} * kFrameBytes;
  uint8_t* firstDark = secondDark + kFrameBytes;
  for (size_t k = 0; k < kGroupPixels; ++k) {
    StoreF32(secondDark + k * 4, dark.second[k]);
    StoreF32(firstDark + k * 4, dark.first[k]);
  }
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
  if (!src || !dst || !IntensityFramesUsable(params.frames, params.darkFrames)) return false;
  const uint64_t bytes = StackBytes(kStack300x300x32, params.frames);
  if (bytes > srcBytes || bytes > dstBytes) return false;
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dst);
  const size_t blockBytes = size_t{params.frames} * kGroupPixels * 4;
  for (size_t g = 0; g < kGroupCount; ++g, in += blockBytes, out += kGroupPixels * 4) ProcessGroup(in, out, params);
  return true;
}

}  // namespace orvex
