// Value arithmetic of a value row: the map's range, the slider's coarser
// scale for maps wider than 8 bits, and the new value for each scroll code.
// Bit counts above 32 (possible with many register entries) are bounded so
// that no shift overflows.
#pragma once

#include <cstdint>

#include "window/DlgWindow.h"

namespace orvex {

// 2^bits - 1; all ones from 32 bits on.
uint32_t MapMaxValue(unsigned bits);
// The slider's own upper end: 2^min(bits, 8) - 1.
int SliderMaxPosition(unsigned bits);
// 1 up to 3 slider bits, else 2^(slider bits - 4).
int SliderTickFrequency(unsigned bits);
// 1 below 5 bits, else 2^(bits - 4).
int64_t SliderPage(unsigned bits);
// The value scaled to the slider (shifted right by bits - 8 above 8 bits),
// held within the slider's range.
int SliderPositionOf(uint32_t value, unsigned bits);
// A slider position scaled back to a map value (shifted left above 8 bits).
uint32_t ValueOfSliderPosition(int position, unsigned bits);
// The map value after a scroll, from the current value V.
uint32_t ScrolledValue(ScrollCode code, uint32_t current, unsigned bits, int thumbPosition);

}  // namespace orvex
