// Little-endian encoding of the stream file's integers.
#pragma once

#include <cstdint>

#include "acq/QVFileIO.h"

namespace orvex {

inline void PutU32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint32_t GetU32(const uint8_t* in) {
  return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}

inline ObjectHeader DecodeObjectHeader(const uint8_t* raw) { return {GetU32(raw), GetU32(raw + 4)}; }

inline void EncodeObjectHeader(uint8_t* out, uint32_t type, uint32_t size) {
  PutU32(out, type);
  PutU32(out + 4, size);
}

}  // namespace orvex
