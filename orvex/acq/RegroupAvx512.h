// The AVX-512 kernels of frame-major regrouping: for 8- and 16-bit elements,
// whose 3- and 6-byte elements cost the AVX2 kernels most of their shuffles,
// and for 32-bit ones, which wait on the AVX2 kernels' 32-byte stores.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvex {

// 16-bit stacks of more frames wait on the masked 48-byte stores into that
// many destination streams (about 1.3 times as long for 40 frames), which the
// AVX2 transposes' 32-byte stores of 96 bytes per frame avoid.
constexpr uint32_t kMaxAvx512Frames16 = 32;

// The stacks RegroupGroupsAvx512 moves; the others stay with the AVX2 kernels.
inline bool RegroupsOnAvx512(size_t elementBytes, uint32_t frames) {
  return (elementBytes == 1 && frames >= 4) || (elementBytes == 4 && frames >= 2) ||
         (elementBytes == 2 && frames >= 2 && frames <= kMaxAvx512Frames16);
}

// As RegroupGroupsAvx2, for the stacks of RegroupsOnAvx512: moves the first
// groups of `count` in whole steps and returns how many; the caller copies the
// rest, always at least the last group. The steps read past the last group
// they move (up to 80 bytes), but never past the `count` groups, and write
// nothing outside the groups they move.
// Only for processors with AVX-512 byte permutes (BestSimdLevel).
size_t RegroupGroupsAvx512(size_t elementBytes, const uint8_t* src, uint8_t* dst, uint32_t frames,
                           size_t frameBytes, size_t count);

}  // namespace orvex
