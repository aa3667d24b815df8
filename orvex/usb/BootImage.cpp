#include "usb/BootImage.h"

#include <cstring>
#include <vector>

namespace orvex {
namespace {

constexpr size_t kHeaderBytes = 8;
constexpr size_t kRecordHeaderBytes = 4;
constexpr uint16_t kLastRecordBit = 0x8000;
constexpr uint16_t kRecordLengthMask = 0x03FF;
constexpr size_t kControllerRamBytes = 0x4000;

// Our controller code: "OVXFX2" at 0, a footer "OVXF" + FNV-1a (LE) in the
// last 8 of its 2048 bytes; the serial-number slot is left out of the sum
// because the serial writer changes it in place.
constexpr size_t kCodeBytes = 2048;
constexpr size_t kFooterAt = kCodeBytes - 8;
constexpr size_t kSerialSlotAt = 0x40 + 28;
constexpr size_t kSerialSlotBytes = 34;

uint16_t BigEndian16(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

uint32_t Fnv1a(const uint8_t* data, size_t size, uint32_t hash) {
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return hash;
}

bool FooterChecksumMatches(const std::vector<uint8_t>& ram) {
  const uint8_t* code = ram.data();
  uint32_t hash = Fnv1a(code, kSerialSlotAt, 2166136261u);
  hash = Fnv1a(code + kSerialSlotAt + kSerialSlotBytes, kFooterAt - kSerialSlotAt - kSerialSlotBytes, hash);
  const uint8_t* stored = code + kFooterAt + 4;
  uint32_t value = uint32_t(stored[0]) | uint32_t(stored[1]) << 8 | uint32_t(stored[2]) << 16 |
                   uint32_t(stored[3]) << 24;
  return value == hash;
}

bool HasOurFooter(const std::vector<uint8_t>& ram) {
  return std::memcmp(ram.data(), "OVXFX2", 6) == 0 && std::memcmp(ram.data() + kFooterAt, "OVXF", 4) == 0;
}

}  // namespace

std::string BootImageProblem(const uint8_t* image, size_t size) {
  if (!image || size < kHeaderBytes) return "too short for a boot header";
  if (image[0] != 0xC2) return "no C2 boot header";
  std::vector<uint8_t> ram(kControllerRamBytes, 0);
  size_t at = kHeaderBytes;
  for (;;) {
    if (at + kRecordHeaderBytes > size) return "truncated: the last load record is missing";
    uint16_t word = BigEndian16(image + at);
    size_t length = word & kRecordLengthMask;
    size_t address = BigEndian16(image + at + 2);
    size_t data = at + kRecordHeaderBytes;
    if (data + length > size) return "truncated: a load record runs past the end of the file";
    // The final record writes the CPU control register, outside the code RAM.
    if (word & kLastRecordBit) break;
    if (address + length > ram.size()) return "a load record lies outside the controller RAM";
    std::memcpy(ram.data() + address, image + data, length);
    at = data + length;
  }
  if (HasOurFooter(ram) && !FooterChecksumMatches(ram)) return "the firmware checksum does not match";
  return {};
}

}  // namespace orvex
