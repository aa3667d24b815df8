// Mirroring along x or y.
#include "Boundary.h"
#include "ImageChecks.h"
#include "Record.h"

namespace k7hlp {
namespace {

int FlipX(K7Hlp_Data* in, K7Hlp_Data* out) {
  static const ImageCheckTexts texts = {"K7Hlp_flipX:: inputData or outputData structure not found",
                                        "K7Hlp_flipX:: inputData has unsupported dataType...",
                                        "K7Hlp_flipX:: inputData has unsupported dimension...",
                                        "K7Hlp_flipX:: inputData data not found"};
  if (int status = CheckFloatImage(in, out, texts)) return status;
  float* target = PrepareLikeInput(*in, *out);
  const float* source = FloatSamples(*in);
  const size_t w = in->dim[0], h = in->dim[1];
  for (size_t y = 0; y < h; ++y)
    for (size_t x = 0; x < w; ++x) target[x + w * y] = source[(w - 1 - x) + w * y];
  return kOk;
}

int FlipY(K7Hlp_Data* in, K7Hlp_Data* out) {
  static const ImageCheckTexts texts = {"K7Hlp_flipY:: inputData or outputData structure not found",
                                        "K7Hlp_flipY:: inputData has unsupported dataType...",
                                        "K7Hlp_flipY:: inputData has unsupported dimension...",
                                        "K7Hlp_flipY:: inputData data not found"};
  if (int status = CheckFloatImage(in, out, texts)) return status;
  float* target = PrepareLikeInput(*in, *out);
  const float* source = FloatSamples(*in);
  const size_t w = in->dim[0], h = in->dim[1];
  for (size_t y = 0; y < h; ++y)
    for (size_t x = 0; x < w; ++x) target[x + w * y] = source[x + w * (h - 1 - y)];
  return kOk;
}

}  // namespace
}  // namespace k7hlp

int K7Hlp_flipX(K7Hlp_Data* inputData, K7Hlp_Data* outputData) {
  return k7hlp::Exported("K7Hlp_flipX", [&] { return k7hlp::FlipX(inputData, outputData); });
}

int K7Hlp_flipY(K7Hlp_Data* inputData, K7Hlp_Data* outputData) {
  return k7hlp::Exported("K7Hlp_flipY", [&] { return k7hlp::FlipY(inputData, outputData); });
}
