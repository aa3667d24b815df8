// Little-endian loads and stores at any byte address. Application buffers carry
// no alignment promise; memcpy compiles to a plain move on the targets we build.
#pragma once

#include <cstdint>
#include <cstring>

namespace orvex {

inline uint16_t LoadU16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline uint32_t LoadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void StoreU16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, sizeof v); }
inline void StoreU32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }
inline void StoreF32(uint8_t* p, float v) { std::memcpy(p, &v, sizeof v); }

}  // namespace orvex
