// Banding of the 32-bit regroup kernels. Each frame of a step is one
// destination stream; stacks of a few dozen frames (and sources larger than
// the cache) wait on the stores fetching their lines from that many streams,
// and do better in two bands of frames over a run of groups whose source
// (about kBandSourceBytes) the second band reads again from the cache. With
// more frames the repeated reads cost more than the fewer streams save, and the
// 8- and 16-bit kernels, which spend more work per byte, lose by bands too.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace orvex {

constexpr uint32_t kBandFrames = 16;
constexpr size_t kBandSourceBytes = size_t{3} << 19;

inline bool RegroupsInBands(uint32_t frames) {
  return frames > kBandFrames + kBandFrames / 4 && frames <= 2 * kBandFrames;
}

// Runs `steps` steps of `stepGroups` 32-bit groups in two bands of frames:
// run(src, dst, firstFrame, frameCount, stepCount) moves frames
// firstFrame..firstFrame + frameCount - 1 of stepCount steps from src to dst.
template <class Run>
void RunInBands(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t stepGroups, size_t steps, Run run) {
  const size_t stepBytes = stepGroups * 12 * size_t{frames};
  const size_t runSteps = std::max<size_t>(1, kBandSourceBytes / stepBytes);
  for (size_t first = 0; first < steps; first += runSteps) {
    const size_t count = std::min(runSteps, steps - first);
    const uint8_t* in = src + first * stepBytes;
    uint8_t* out = dst + first * stepGroups * 12;
    run(in, out, 0u, kBandFrames, count);
    run(in, out, kBandFrames, frames - kBandFrames, count);
  }
}

}  // namespace orvex
