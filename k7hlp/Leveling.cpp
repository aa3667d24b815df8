// Removal of a tilt: the plane through the origin pixel estimated from the
// median slopes over a 50-pixel baseline.
#include "Boundary.h"
#include "CpuFeatures.h"
#include "ImageChecks.h"
#include "MedianSlopes.h"
#include "Record.h"
#include "TiltRemoval.h"

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
  const float* source = FloatSamples(*in);
  const bool avx2 = HasAvx2();
  const SlopeMedians medians = MedianSlopes(source, w, h, kBaseline, avx2);
  const float mx = medians.alongX / static_cast<float>(kBaseline);
  const float my = medians.alongY / static_cast<float>(kBaseline);
  float* target = PrepareLikeInput(*in, *out);
  RemoveTilt(source, target, w, h, mx, my, avx2);
  return kOk;
}

}  // namespace
}  // namespace k7hlp

int K7Hlp_leveling(K7Hlp_Data* inputData, K7Hlp_Data* outputData, int mode, void* /*reserved*/) {
  return k7hlp::Exported("K7Hlp_leveling", [&] { return k7hlp::Level(inputData, outputData, mode); });
}
