// Insertion of the centre cross into window-mode surfaces, so that they take
// the widened layout that processing gives A16Z16 data.
#include <algorithm>
#include <cstring>

#include "Boundary.h"
#include "ImageChecks.h"
#include "Record.h"

namespace k7hlp {
namespace {

constexpr double kDamping = 1.3;

void CopyImage(const K7Hlp_Data& in, K7Hlp_Data& out) {
  float* target = GiveFloatSamples(out, in.dim[0], in.dim[1], in.dim[2], in.dim[3], in.dataSize / sizeof(float));
  if (target) std::memcpy(target, in.data, in.dataSize / sizeof(float) * sizeof(float));
}

void InsertCross(const K7Hlp_Data& in, K7Hlp_Data& out) {
  const size_t w = in.dim[0], h = in.dim[1], wo = w + 1, ho = h + 1;
  const size_t cx = w / 2, cy = h / 2;
  float* o = GiveFloatSamples(out, static_cast<uint32_t>(wo), static_cast<uint32_t>(ho), 0, 0, wo * ho);
  const float* s = FloatSamples(in);
  // Each source row moves as two runs, left and right of the inserted column.
  for (size_t y = 0; y < h; ++y) {
    float* row = o + wo * (y + (y >= cy));
    std::memcpy(row, s + w * y, cx * sizeof(float));
    std::memcpy(row + cx + 1, s + w * y + cx, (w - cx) * sizeof(float));
  }
  for (size_t y = 0; y < ho; ++y) o[cx + wo * y] = (o[cx - 1 + wo * y] + o[cx + 1 + wo * y]) * 0.5f;
  for (size_t x = 0; x < wo; ++x) o[x + wo * cy] = (o[x + wo * (cy - 1)] + o[x + wo * (cy + 1)]) * 0.5f;
}

// Columns that fall outside a narrow image are skipped.
void DampCentreColumns(K7Hlp_Data& out) {
  const size_t wo = out.dim[0], ho = out.dim[1];
  if (wo == 0) return;
  float* o = static_cast<float*>(out.data);
  const size_t c = (wo - 1) / 2;
  const size_t first = c == 0 ? 0 : c - 1, last = std::min(c + 1, wo - 1);
  for (size_t y = 0; y < ho; ++y)
    for (size_t x = first; x <= last; ++x) o[x + wo * y] = static_cast<float>(o[x + wo * y] / kDamping);
}

int Interpolate(K7Hlp_Data* in, K7Hlp_Data* out, int damp) {
  static const ImageCheckTexts texts = {"K7Hlp_interpolateCross:: frameSurface or outputData structure not found",
                                        "K7Hlp_interpolateCross:: frameSurface has unsupported dataType...",
                                        "K7Hlp_interpolateCross:: frameSurface has unsupported dimension...",
                                        "K7Hlp_interpolateCross:: frameSurface data not found"};
  if (int status = CheckFloatImage(in, out, texts)) return status;
  ResetIfUsed(*out);
  CopyMeta(*in, *out);
  const int32_t camMode = ParamValue(*in, "CamMode");
  if (camMode < 0) return Fail(kStepFailed, "K7Hlp_interpolateCross:: CamMode not found in data structure");
  if (camMode == 4 || camMode == 7) {
    CopyImage(*in, *out);
  } else if (camMode == 5) {
    // The cross needs a neighbour on either side of the inserted column and row.
    if (in->dim[0] < 2 || in->dim[1] < 2)
      return Fail(kUnsupportedKind, "K7Hlp_interpolateCross:: frameSurface too small for the centre cross...");
    InsertCross(*in, *out);
  } else {
    return Fail(kUnsupportedKind,
                "K7Hlp_interpolateCross:: CamMode currently not supported. Only CamMode 4, 5 and 7 are supported");
  }
  if (damp == 1) DampCentreColumns(*out);
  return kOk;
}

}  // namespace
}  // namespace k7hlp

int K7Hlp_interpolateCross(K7Hlp_Data* frameSurface, K7Hlp_Data* outputData, int damp) {
  return k7hlp::Exported("K7Hlp_interpolateCross", [&] { return k7hlp::Interpolate(frameSurface, outputData, damp); });
}
