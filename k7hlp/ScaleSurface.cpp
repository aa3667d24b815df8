// Scaling of surfaces from frame units into position units.
#include <cstdint>
#include <limits>
#include <memory>

#include "Boundary.h"
#include "ImageChecks.h"
#include "Record.h"
#include "Scaling.h"
#include "ZTagTable.h"

namespace k7hlp {
namespace {

int CheckInput(const K7Hlp_Data* in, const K7Hlp_Data* out) {
  static const ImageCheckTexts texts = {"K7Hlp_scaleSurface:: frameSurface or scaledSurface not found",
                                        "K7Hlp_scaleSurface:: frameSurface has unsupported dataType...",
                                        "K7Hlp_scaleSurface:: frameSurface has unsupported dimension...",
                                        "K7Hlp_scaleSurface:: frameSurface data not found"};
  if (int status = CheckFloatImage(in, out, texts)) return status;
  // The header fields read below lie within the first 2048 bytes.
  if (in->headerType != K7Hlp_headerCamera || in->headerSize < kCamHeaderBytes ||
      in->headerSize > std::numeric_limits<uint32_t>::max() - kPositionTableBytes)
    return Fail(kUnsupportedKind, "K7Hlp_scaleSurface:: frameSurface has unsupported header...");
  if (!in->header) return Fail(kMissing, "K7Hlp_scaleSurface:: frameSurface header not found");
  return kOk;
}

int ScaleFrameUnits(const K7Hlp_Data& in, K7Hlp_Data& out, K7Hlp_scaleMode mode, void* source, FloatBlock& reuse) {
  if (mode < K7Hlp_scaleZTagFile || mode > K7Hlp_scaleZTagHandle)
    return Fail(kUnsupportedKind, "K7Hlp_scaleSurface:: This scallin is currently not implemented (1)... Sorry ");
  if (!source) return Fail(kMissing, "K7Hlp_scaleSurface:: source not found");
  switch (mode) {
    case K7Hlp_scaleCounter:
      return ScaleByCounter(in, out, *static_cast<const uint32_t*>(source), reuse);
    case K7Hlp_scaleZTagHandle:
      return ScaleByTable(in, out, TableOf(*static_cast<const zTagHdl*>(source)), reuse);
    default: {
      std::unique_ptr<zTagHdl, decltype(&UnloadZTagFile)> handle(LoadZTagFile(static_cast<const char*>(source)),
                                                                  UnloadZTagFile);
      return ScaleByTable(in, out, TableOf(*handle), reuse);
    }
  }
}

int Scale(K7Hlp_Data* in, K7Hlp_Data* out, K7Hlp_scaleMode mode, void* source) {
  if (int status = CheckInput(in, out)) return status;
  // The previous result's samples are rewritten in place when the size stays:
  // a fresh block would cost page faults on every frame.
  FloatBlock reuse = TakeFloatSamples(*out);
  ResetIfUsed(*out);
  CopyMeta(*in, *out);
  if (in->unit == K7Hlp_unitFrames) return ScaleFrameUnits(*in, *out, mode, source, reuse);
  if (in->unit == K7Hlp_unitUnscalable)
    return Fail(kUnsupportedKind, "K7Hlp_scaleSurface:: This scallin is currently not implemented (2)... Sorry ");
  return Fail(kMissing, "K7Hlp_scaleSurface:: input data unit not supported...");
}

}  // namespace
}  // namespace k7hlp

int K7Hlp_scaleSurface(K7Hlp_Data* frameSurface, K7Hlp_Data* scaledSurface, K7Hlp_scaleMode mode, void* source) {
  return k7hlp::Exported("K7Hlp_scaleSurface", [&] { return k7hlp::Scale(frameSurface, scaledSurface, mode, source); });
}
