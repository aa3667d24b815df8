// The AVX2 kernel of frame-major regrouping: whole steps of groups, each
// written as three exact 32-byte stores per frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvex {

// Groups one step covers: eight 12-byte pieces per frame, a piece being one
// group of 4-byte, two of 2-byte or four of 1-byte elements.
constexpr size_t RegroupStepGroups(size_t elementBytes) { return 8 * 4 / elementBytes; }

// Moves `steps` steps of groups (layout as RegroupGroups) and returns the
// source position behind them. Reads up to 4 bytes past the last group it
// moves, so the caller leaves at least one group behind the steps. Only for
// processors with AVX2 (BestSimdLevel).
const uint8_t* RegroupStepsAvx2(size_t elementBytes, const uint8_t* src, uint8_t* dst, uint32_t frames,
                                size_t frameBytes, size_t steps);

}  // namespace orvex
