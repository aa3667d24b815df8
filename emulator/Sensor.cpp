// Placeholder sensor: a valid frame header followed by zero samples.
#include "Sensor.h"

#include <cstring>

namespace orvex_emu {
namespace {

constexpr size_t kHeaderBytes = 2048;
constexpr uint16_t kSyncWord = 0x5A5A;

void PutLe16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe64(uint8_t* at, uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

size_t SensorRead(const uint8_t* /*registers256*/, uint8_t* buffer, size_t length, SensorContext& context) {
  std::memset(buffer, 0, length);
  if (length >= kHeaderBytes) {
    PutLe16(buffer + 2, kSyncWord);
    PutLe64(buffer + 2032, context.timeNs);                          // timeStamp
    PutLe16(buffer + 2044, static_cast<uint16_t>(context.acquisitionCount));  // nVolume (low half)
  }
  ++context.acquisitionCount;
  context.timeNs += 33000000;
  return length;
}

void SensorRelease(SensorContext& context) { context.state = nullptr; }

}  // namespace orvex_emu
