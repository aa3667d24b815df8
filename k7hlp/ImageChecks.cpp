#include "ImageChecks.h"

#include <algorithm>

#include "LastError.h"
#include "Record.h"
#include "Status.h"

namespace k7hlp {

int CheckFloatImage(const K7Hlp_Data* in, const K7Hlp_Data* out, const ImageCheckTexts& texts) {
  // One record for both sides would be released before it is read.
  if (!in || !out || in == out) return Fail(kMissing, texts.missingRecord);
  if (in->dataType != K7Hlp_dataFloat) return Fail(kUnsupportedKind, texts.wrongType);
  uint64_t bytes = 0;
  if (in->dim[2] != 0 || !CheckedProduct({in->dim[0], in->dim[1], sizeof(float)}, in->dataSize, &bytes))
    return Fail(kUnsupportedKind, texts.wrongDimension);
  if (!in->data) return Fail(kMissing, texts.missingSamples);
  return kOk;
}

float* PrepareLikeInput(const K7Hlp_Data& in, K7Hlp_Data& out) {
  FloatBlock reuse = TakeFloatSamples(out);
  ResetIfUsed(out);
  CopyMeta(in, out);
  const size_t count = in.dataSize / sizeof(float);
  float* samples = GiveUnclearedFloatSamples(out, in.dim[0], in.dim[1], in.dim[2], in.dim[3], count, reuse);
  // Samples beyond the image in a longer block are zero, as in a fresh block.
  std::fill(samples + PixelCount(in), samples + count, 0.0f);
  return samples;
}

}  // namespace k7hlp
