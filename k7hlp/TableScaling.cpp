#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "ImageChecks.h"
#include "LastError.h"
#include "Record.h"
#include "Scaling.h"
#include "Status.h"

namespace k7hlp {
namespace {

constexpr size_t kMinPairs = 3;
constexpr int kReferenceFrameDuration = 70000;

double Milliseconds() { return static_cast<double>(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

uint32_t ReadU32(const uint8_t* header, uint32_t offset) {
  uint32_t value;
  std::memcpy(&value, header + offset, sizeof value);
  return value;
}

// Piecewise-linear through the pair above c and its predecessor; values
// beyond the table follow its first or second-to-last segment.
bool Interpolate(const std::vector<zTagItem>& t, float c, float* out) {
  auto above = std::upper_bound(t.begin(), t.end(), c, [](float v, const zTagItem& item) { return v < item.x; });
  size_t k = static_cast<size_t>(above - t.begin());
  if (k == 0) k = 1;
  if (k == t.size()) k = t.size() - 2;
  const zTagItem& hi = t[k];
  const zTagItem& lo = t[k - 1];
  if (hi.x == lo.x) return false;
  *out = (hi.z - lo.z) / (hi.x - lo.x) * (c - hi.x) + hi.z;
  return true;
}

}  // namespace

int ScaleByTable(const K7Hlp_Data& in, K7Hlp_Data& out, const std::vector<zTagItem>& table) {
  const float z = static_cast<float>(ReadU32(static_cast<const uint8_t*>(in.header), kFrmDurOffset));
  if (z == 0.0f) return kZeroReference;
  if (table.size() < kMinPairs) return Fail(kShortTable, "K7Hlp_scaleSurface:: zTag table needs at least 3 pairs...");

  const double t0 = Milliseconds();
  // x of the table refers to the reference frame duration; bring it to this one's frames.
  std::vector<zTagItem> frames(table);
  for (zTagItem& item : frames) item.x = item.x / (z / kReferenceFrameDuration);
  const double t1 = Milliseconds();

  out.unit = K7Hlp_unitScaled;
  const size_t pixels = PixelCount(in);
  std::vector<float> scaled(pixels);
  const double t2 = Milliseconds();

  const float* surface = FloatSamples(in);
  for (size_t i = 0; i < pixels; ++i)
    if (!Interpolate(frames, surface[i], &scaled[i])) return kEqualTableX;
  float* target = GiveFloatSamples(out, in.dim[0], in.dim[1], in.dim[2], in.dim[3], pixels);
  if (target) std::memcpy(target, scaled.data(), pixels * sizeof(float));
  const double t3 = Milliseconds();
  std::printf("convert %f, meta %f, computing %f\n", (t1 - t0) / 1000, (t2 - t1) / 1000, (t3 - t2) / 1000);
  return kOk;
}

}  // namespace k7hlp
