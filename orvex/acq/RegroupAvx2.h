// The AVX2 kernels of frame-major regrouping: whole steps of groups, every
// frame's part of a step written with exact stores.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvex {

// Moves the first groups of `count` (layout as RegroupGroups) in whole steps
// and returns how many it moved; the caller copies the rest afterwards. It
// leaves at least the last group: the steps read up to 8 bytes past the last
// group they move, and for 8- and 16-bit elements also write up to 8 bytes
// past it into each frame's next groups, which the rest's copy overwrites.
// Only for processors with AVX2 (BestSimdLevel).
size_t RegroupGroupsAvx2(size_t elementBytes, const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes,
                         size_t count);

}  // namespace orvex
