// AVX2 kernels of the processing routines (regrouping has its own). Most do
// the leading part of their work that fills whole vectors and return how far
// they got; the caller finishes portably. Only for processors with AVX2
// (BestSimdLevel).
#pragma once

#include <cstddef>
#include <cstdint>

#include "acq/ProcessRoutines.h"

namespace orvex {

// The intensity routine on the whole steps of eight groups of `groups` (three
// pixels of all frames each, source and destination as RegroupGroups), from
// the source straight into the planes. Returns the groups done.
size_t IntensityStepsAvx2(const uint8_t* src, uint8_t* dst, size_t groups, size_t frameBytes,
                          const IntensityParams& params);

// Window expansion of one group of `pixels` (2 or 3) pixels: for each pixel q
// its run of w triples at out + q * 6 * w, four samples at a time, the
// position of the first being positions[q]. False (nothing written) for
// windows narrower than four samples. Reads up to 8 bytes past the group's
// samples.
bool ExpandBlocksAvx2(const uint8_t* samples, uint32_t pixels, uint32_t w, const uint16_t* positions, uint8_t* out);

// Window expansion of `groups` consecutive groups of three pixels for
// windows of w samples (2 <= w <= 4 * kMaxWindowBlocks), each pixel's run in
// 32-byte stores of four triples. `back` is subtracted from the start words.
// Writes up to 14 bytes past the groups' output and reads up to 16 bytes past
// their source: a group must follow, expanded after them. Returns the position
// behind the groups in the source.
constexpr uint32_t kMaxWindowBlocks = 6;
const uint8_t* ExpandGroupsAvx2(const uint8_t* in, uint8_t* out, size_t groups, uint32_t w, uint16_t back);

// Window expansion with a single sample (H = 0) of `groups` consecutive groups
// of three pixels: each 18-byte group (three start words, three sample pairs)
// becomes its three triples, a permutation of its bytes. Stays within the
// groups' source and output. Returns the position behind the groups in the
// source; the destination advances by the same.
const uint8_t* ExpandSingleSampleGroupsAvx2(const uint8_t* in, uint8_t* out, size_t groups);

// Copies the whole 32-byte vectors of `bytes`; returns the bytes copied.
size_t CopyVectorsAvx2(uint8_t* out, const uint8_t* in, size_t bytes);

// AddSurfaceOffsets on the first words, sixteen at a time; returns the words done.
size_t AddSurfaceOffsetsAvx2(uint8_t* data, const uint8_t* offsets, size_t words);

}  // namespace orvex
