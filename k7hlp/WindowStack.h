// CamMode 5 extraction straight from the raw words (W x H x F frames x 3
// components, planar). Pixels are taken in blocks that stay in the level-1
// cache: each frame of a block is converted and summed as it is read, so no
// float copy of the stack is ever written to memory, and only the frames a
// result needs are read (every amplitude frame, the middle surface frame and,
// for the phase correction, the three phase frames around the middle).
#pragma once

#include <cstddef>
#include <cstdint>

namespace k7hlp {

struct WindowStack {
  const uint16_t* words;  // component 0, frame 0
  size_t pixels;          // W x H
  uint32_t frames;        // at least 3

  uint32_t Middle() const { return (frames - 1) / 2; }
  const uint16_t* Plane(uint32_t component, uint32_t frame) const {
    return words + pixels * (size_t{frames} * component + frame);
  }
};

enum class SubFrameMethod { kThreshold, kCentroid, kCentroidPhase };

struct SubFrameSettings {
  SubFrameMethod method;
  float threshold;      // threshold crossing, above 0
  double phaseDivisor;  // centroid with phase correction, above 0
};

// Surface (coarse middle frame plus sub-frame position) of every pixel into
// `out`; kZeroEnergy, with `out` partly written, when a centroid meets a pixel
// without amplitude energy. Both kernels give the same floats.
int WindowSurface(const WindowStack& stack, const SubFrameSettings& settings, bool avx2, float* out);

// One plane of words times a power of two (exact, so any kernel may do it).
void ScaleWords(const uint16_t* words, size_t count, float scale, float* out);

}  // namespace k7hlp
