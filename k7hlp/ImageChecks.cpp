#include "ImageChecks.h"

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
  ResetIfUsed(out);
  CopyMeta(in, out);
  return GiveFloatSamples(out, in.dim[0], in.dim[1], in.dim[2], in.dim[3], in.dataSize / sizeof(float));
}

float* PrepareUnclearedLikeInput(const K7Hlp_Data& in, K7Hlp_Data& out) {
  FloatBlock reuse = TakeFloatSamples(out);
  ResetIfUsed(out);
  CopyMeta(in, out);
  return GiveUnclearedFloatSamples(out, in.dim[0], in.dim[1], in.dim[2], in.dim[3], in.dataSize / sizeof(float),
                                   reuse);
}

}  // namespace k7hlp
