#pragma once

#include <cstdint>

namespace orvex {

// Plain sleep of the calling thread (the library has no threads of its own).
void SleepMs(uint32_t milliseconds);

// Unit tests replace the sleep to run the device waits instantly; returns the
// previous function. Null restores the real sleep.
using SleepFunction = void (*)(uint32_t milliseconds);
SleepFunction ReplaceSleepFunction(SleepFunction fn);

}  // namespace orvex
