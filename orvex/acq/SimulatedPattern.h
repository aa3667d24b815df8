// The test pattern of a camera without a device.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvex {

// Next value of the calling thread's pattern generator (15 bits).
uint32_t NextPatternRandom();
// Restarts the calling thread's generator (tests only; the library never reseeds).
void ResetPatternRandom();

// Fills size bytes: 1024 header words (random low byte plus the word index
// shifted by 4), then FFFF four times and each word's own index. A buffer
// below the header size receives only the header words that fit.
void FillSimulatedPattern(void* buffer, uint32_t size);

}  // namespace orvex
