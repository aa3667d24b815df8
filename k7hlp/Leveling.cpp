// Removal of a tilt: the plane through the origin pixel estimated from the
// median slopes over a 50-pixel baseline.
#include <vector>

#include "Boundary.h"
#include "ImageChecks.h"
#include "Median.h"
#include "Record.h"

namespace k7hlp {
namespace {

constexpr size_t kBaseline = 50;

int Level(K7Hlp_Data* in, K7Hlp_Data* out, int mode) {
  static const ImageCheckTexts texts = {"K7Hlp_leveling:: inputData or outputData structure not found",
                                        "K7Hlp_leveling:: inputData has unsupported dataType...",
                                        "K7Hlp_leveling:: inputData has unsupported dimension...",
                                        "K7Hlp_leveling:: inputData data not found"};
  if (int status = CheckFloatImage(in, out, texts)) return status;
  if (mode != 0) return Fail(kUnsupportedKind, "K7Hlp_leveling:: unsupported mode...");
  const size_t w = in->dim[0], h = in->dim[1];
  // Without a pixel pair 50 apart in both directions there is no slope to measure.
  if (w <= kBaseline || h <= kBaseline)
    return Fail(kUnsupportedKind, "K7Hlp_leveling:: image must be wider and higher than 50 pixels...");
  float* target = PrepareLikeInput(*in, *out);
  const float* source = FloatSamples(*in);

  std::vector<float> slopesX, slopesY;
  slopesX.reserve((w - kBaseline) * (h - kBaseline));
  slopesY.reserve((w - kBaseline) * (h - kBaseline));
  for (size_t x = 0; x < w - kBaseline; ++x) {
    for (size_t y = 0; y < h - kBaseline; ++y) {
      const float here = source[x + w * y];
      slopesX.push_back(here - source[x + kBaseline + w * y]);
      slopesY.push_back(here - source[x + w * (y + kBaseline)]);
    }
  }
  const float mx = Median(slopesX) / static_cast<float>(kBaseline);
  const float my = Median(slopesY) / static_cast<float>(kBaseline);
  for (size_t y = 0; y < h; ++y)
    for (size_t x = 0; x < w; ++x)
      target[x + w * y] = source[x + w * y] + mx * static_cast<float>(x) + my * static_cast<float>(y);
  return kOk;
}

}  // namespace
}  // namespace k7hlp

int K7Hlp_leveling(K7Hlp_Data* inputData, K7Hlp_Data* outputData, int mode, void* /*reserved*/) {
  return k7hlp::Exported("K7Hlp_leveling", [&] { return k7hlp::Level(inputData, outputData, mode); });
}
