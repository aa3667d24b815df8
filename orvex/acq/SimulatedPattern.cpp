#include "acq/SimulatedPattern.h"

#include <cstring>

namespace orvex {
namespace {

constexpr uint32_t kHeaderWords = 1024;
// Each thread has its own sequence, so concurrent test threads do not disturb one another.
thread_local uint32_t t_patternState = 1;

void PutWord(uint8_t* bytes, size_t index, uint16_t word) {
  bytes[2 * index] = static_cast<uint8_t>(word);
  bytes[2 * index + 1] = static_cast<uint8_t>(word >> 8);
}

}  // namespace

uint32_t NextPatternRandom() {
  t_patternState = t_patternState * 214013u + 2531011u;
  return (t_patternState >> 16) & 0x7FFFu;
}

void ResetPatternRandom() { t_patternState = 1; }

void FillSimulatedPattern(void* buffer, uint32_t size) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  const size_t words = size / 2;
  const size_t headerWords = words < kHeaderWords ? words : kHeaderWords;
  for (size_t i = 0; i < headerWords; ++i)
    PutWord(bytes, i, static_cast<uint16_t>((NextPatternRandom() & 0xFF) + (i << 4)));
  if (words <= kHeaderWords) return;
  uint8_t* data = bytes + 2 * kHeaderWords;
  const size_t dataWords = words - kHeaderWords;
  // Whole chunks of little-endian words are built once and copied, which keeps
  // the fill close to memory speed for stacks of several megabytes.
  constexpr size_t kChunkWords = 4096;
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the data words are little-endian on the wire");
  uint16_t chunk[kChunkWords];
  for (size_t start = 0; start < dataWords; start += kChunkWords) {
    const size_t n = dataWords - start < kChunkWords ? dataWords - start : kChunkWords;
    for (size_t j = 0; j < n; ++j) chunk[j] = static_cast<uint16_t>(start + j);
    for (size_t j = start; j < 4 && j < start + n; ++j) chunk[j - start] = 0xFFFF;
    std::memcpy(data + 2 * start, chunk, 2 * n);
  }
}

}  // namespace orvex
