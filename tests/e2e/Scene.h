// The emulated camera's synthetic scene, the ground truth the end-to-end run
// checks its results against (docs/emulator-scene.md).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "Orvex.h"

namespace e2e {

inline bool OnStep(unsigned x, unsigned y) { return x >= 96 && x < 192 && y >= 96 && y < 192; }
// Depth in 1/32 frame.
inline uint32_t Depth32(unsigned x, unsigned y) { return 256 + x + y / 2 + (OnStep(x, y) ? 128 : 0); }
inline double Depth(unsigned x, unsigned y) { return Depth32(x, y) / 32.0; }
inline uint32_t Amplitude(unsigned x, unsigned y) { return OnStep(x, y) ? 1000 : 500; }
// Lock-in amplitude of one frame: a tent of the squared amplitude around the depth.
inline double FrameAmplitude(unsigned x, unsigned y, double frame) {
  double t = 1.0 - std::fabs(frame - Depth(x, y)) / 2.0;
  return Amplitude(x, y) * std::sqrt(t > 0 ? t : 0.0);
}

template <class T>
T At(const void* samples, size_t index) {
  T v;
  std::memcpy(&v, static_cast<const uint8_t*>(samples) + index * sizeof(T), sizeof(T));
  return v;
}

}  // namespace e2e
