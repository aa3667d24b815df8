#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "ImageChecks.h"
#include "LastError.h"
#include "Record.h"
#include "Scaling.h"
#include "ScalingKernels.h"
#include "Status.h"

namespace k7hlp {
namespace {

constexpr uint32_t kMinCounterSamples = 5;
constexpr int kCounterRange = 65536;
constexpr int kHalfCounterRange = 32768;

int Sign(int v) { return (v > 0) - (v < 0); }

uint16_t ReadU16(const uint8_t* header, uint32_t offset) {
  return static_cast<uint16_t>(header[offset] | (header[offset + 1] << 8));
}

// The header followed by room for the position table, which starts right
// behind the input's header (copied bytewise: that offset need not be aligned).
uint8_t* GiveExtendedHeader(const K7Hlp_Data& in, K7Hlp_Data& out) {
  const uint32_t size = in.headerSize + kPositionTableBytes;
  uint8_t* block = GiveHeader(out, K7Hlp_headerExtended, size);
  std::memcpy(block, in.header, in.headerSize);
  out.unit = K7Hlp_unitScaled;
  return block + in.headerSize;
}

// The frame centres with the step up to each: the per-pixel formula needs both.
std::vector<CounterEntry> Entries(const std::vector<float>& centres) {
  std::vector<CounterEntry> entries(centres.size());
  for (size_t h = 0; h < centres.size(); ++h)
    entries[h] = {h > 0 ? centres[h] - centres[h - 1] : 0.0f, centres[h]};
  return entries;
}

}  // namespace

int CountDirection(const uint16_t* q) {
  int d = 0;
  for (int i = 0; i < 4; ++i) d += Sign(int{q[i + 1]} - int{q[i]});
  return Sign(d);
}

void UnwrapCounter(const uint16_t* q, uint32_t n, int direction, float* unwrapped) {
  int64_t wraps = 0;
  for (uint32_t i = 0; i < n; ++i) {
    unwrapped[i] = static_cast<float>(int64_t{q[i]} + direction * wraps * kCounterRange);
    if (i + 1 < n && direction * (int{q[i]} - int{q[i + 1]}) > kHalfCounterRange) ++wraps;
  }
}

void FrameCentres(const float* u, uint32_t n, uint32_t s, float* table) {
  table[0] = (3 * u[0] - u[1]) / static_cast<float>(2 * s);
  for (uint32_t i = 1; i < n; ++i) table[i] = static_cast<float>((u[i - 1] + u[i]) * 0.5 / s);
}

int ScaleByCounter(const K7Hlp_Data& in, K7Hlp_Data& out, uint32_t countScale, FloatBlock& reuse) {
  uint8_t* tableBytes = GiveExtendedHeader(in, out);
  const uint8_t* header = static_cast<const uint8_t*>(in.header);
  const uint32_t n = ReadU16(header, kNFramesOffset);
  if (n < kMinCounterSamples || n > kMaxZTags)
    return Fail(kSampleCount, "K7Hlp_scaleSurface:: number of counter samples not supported...");
  const uint32_t s = countScale / 1000;
  if (s == 0) return Fail(kScaleTooSmall, "K7Hlp_scaleSurface:: count scale below 1000 not supported...");
  uint16_t q[kMaxZTags];
  for (uint32_t i = 0; i < n; ++i) q[i] = ReadU16(header, kZTagsOffset + 2 * i);

  const int direction = CountDirection(q);
  if (direction == 0) return kNoDirection;
  std::printf("count direction: %d\n", direction);
  std::vector<float> unwrapped(n), table(n);
  UnwrapCounter(q, n, direction, unwrapped.data());
  FrameCentres(unwrapped.data(), n, s, table.data());
  std::memcpy(tableBytes, table.data(), n * sizeof(float));

  const size_t pixels = PixelCount(in);
  std::unique_ptr<float[]> positions = Uncleared(pixels, reuse);
  if (!PositionsFromCounter(FloatSamples(in), pixels, Entries(table).data(), n, positions.get(), BestScalingKernel()))
    return Fail(kOutsideCounter, "K7Hlp_scaleSurface:: surface value outside the counter table...");
  AdoptFloatSamples(out, in.dim[0], in.dim[1], in.dim[2], in.dim[3], std::move(positions), pixels);
  return kOk;
}

}  // namespace k7hlp
