#include "dialog/SliderMath.h"

#include <algorithm>

namespace orvex {
namespace {

unsigned SliderBits(unsigned bits) { return std::min(bits, 8u); }

// Bits the slider drops from the value: bits - 8 above 8 bits, at most 32.
unsigned ScaleShift(unsigned bits) { return bits > 8 ? std::min(bits - 8, 32u) : 0; }

}  // namespace

uint32_t MapMaxValue(unsigned bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1; }

int SliderMaxPosition(unsigned bits) { return (1 << SliderBits(bits)) - 1; }

int SliderTickFrequency(unsigned bits) {
  unsigned b8 = SliderBits(bits);
  return b8 < 4 ? 1 : 1 << (b8 - 4);
}

int64_t SliderPage(unsigned bits) {
  if (bits < 5) return 1;
  return int64_t{1} << std::min(bits - 4, 32u);
}

int SliderPositionOf(uint32_t value, unsigned bits) {
  uint64_t position = static_cast<uint64_t>(value) >> ScaleShift(bits);
  return static_cast<int>(std::min<uint64_t>(position, static_cast<uint64_t>(SliderMaxPosition(bits))));
}

uint32_t ValueOfSliderPosition(int position, unsigned bits) {
  int held = std::clamp(position, 0, SliderMaxPosition(bits));
  uint64_t value = static_cast<uint64_t>(held) << ScaleShift(bits);
  return static_cast<uint32_t>(std::min<uint64_t>(value, MapMaxValue(bits)));
}

uint32_t ScrolledValue(ScrollCode code, uint32_t current, unsigned bits, int thumbPosition) {
  const int64_t v = current;
  const int64_t max = MapMaxValue(bits);
  const int64_t page = SliderPage(bits);
  switch (code) {
    case ScrollCode::LineUp:
      return static_cast<uint32_t>(v == 0 ? v : v - 1);
    case ScrollCode::LineDown:
      return static_cast<uint32_t>(v < max ? v + 1 : v);
    case ScrollCode::PageUp:
      return static_cast<uint32_t>(v > page ? v - page : 0);
    case ScrollCode::PageDown:
      return static_cast<uint32_t>(v < max - page ? v + page : max);
    case ScrollCode::ThumbPosition:
    case ScrollCode::ThumbTrack:
      return ValueOfSliderPosition(thumbPosition, bits);
    case ScrollCode::Top:
      return 0;
    case ScrollCode::Bottom:
      return static_cast<uint32_t>(max);
    case ScrollCode::EndScroll:
    default:
      return current;
  }
}

}  // namespace orvex
