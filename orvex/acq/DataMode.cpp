#include "acq/DataMode.h"

#include <algorithm>

#include "core/PelCam.h"
#include "desc/MapAccess.h"
#include "desc/NameLookup.h"

namespace orvex {
namespace {

uint32_t MapValueOrAlias(CPelCam& camera, const char* name, const char* alias) {
  bool found = false;
  uint32_t value = GetMapValueByName(camera, name, 0, &found);
  return found ? value : GetMapValueByName(camera, alias, 0);
}

void SetShape(_CamDataMeta* meta, uint8_t numDim, uint32_t d0, uint32_t d1, uint32_t d2, uint32_t d3 = 0) {
  if (!meta) return;
  meta->numDim = numDim;
  meta->dimSz[0] = d0;
  meta->dimSz[1] = d1;
  meta->dimSz[2] = d2;
  if (numDim > 3) meta->dimSz[3] = d3;
}

}  // namespace

uint32_t DetermineDataMode(CPelCam& camera) {
  uint32_t camMode = MapValueOrAlias(camera, "CamMode", "cam_mode");
  switch (camMode) {
    case 0: return 1;
    case 1:
    case 2: return GetMapValueByName(camera, "Comp11to8", 0) != 0 ? 4 : 3;
    case 3: return 7;
    case 4:
    case 7: return 5;
    case 5: return 6;
    default: return 0;
  }
}

AcqParams ReadAcqParams(CPelCam& camera) {
  AcqParams params;
  params.frames = MapValueOrAlias(camera, "SensNFrames", "frames");
  params.darkFrames = GetMapValueByName(camera, "SensNDarkFrames", 0);
  const _Reg* hwin = FindReg(camera.regDesc.get(), "ExSimpMaxHwin");
  params.halfWindow = std::min<uint32_t>(camera.GetReg(hwin ? hwin->num : 255), 10);
  return params;
}

uint32_t ComputeDataSize(const AcqParams& p, uint32_t mode, uint16_t flags, _CamDataMeta* meta) {
  uint64_t bytes = 0;
  const uint32_t n = p.frames;
  const uint32_t w = 2 * std::min<uint32_t>(p.halfWindow, 10) + 1;
  switch (mode) {
    case 1:
      bytes = uint64_t{n} * 360000;
      SetShape(meta, 4, 2, 300, 300, n);
      break;
    case 3:
      bytes = uint64_t{n} * 164688;
      SetShape(meta, 3, 282, 292, n);
      break;
    case 4:
      bytes = uint64_t{n} * 82344;
      SetShape(meta, 3, 282, 292, n);
      break;
    case 5:
      if (flags & QV_CD_CROSS) {
        bytes = 329332;
        SetShape(meta, 3, 2, 281, 293);
      } else {
        bytes = 327040;
        SetShape(meta, 3, 2, 280, 292);
      }
      break;
    case 6:
      if (flags & QV_CD_COMPACT) {
        bytes = uint64_t{w} * 327040 + 163520;
        SetShape(meta, 4, 2, w, 280, 292);
      } else {
        bytes = uint64_t{w} * 490560;
        SetShape(meta, 4, 3, w, 280, 292);
      }
      break;
    case 7: {
      bytes = uint64_t{n} * 360000;
      // Fewer frames than the dark frames and the reference need give no plane.
      uint32_t planes = n > p.darkFrames + 1 ? n - p.darkFrames - 1 : 0;
      SetShape(meta, 3, 300, 300, planes);
      break;
    }
    default:
      return 0;
  }
  if (flags & QV_CD_HEADER) bytes += kFrameHeaderBytes;
  if (flags & QV_CD_USB_PADDED) bytes = (bytes + 512) & ~uint64_t{511};
  // Sizes are u32 on the wire and in the record; a frame count that would
  // overflow one is no valid acquisition.
  return bytes > 0xFFFFFFFFull ? 0 : static_cast<uint32_t>(bytes);
}

uint32_t ComputeDataSize(CPelCam& camera, uint32_t mode, uint16_t flags, _CamDataMeta* meta) {
  return ComputeDataSize(ReadAcqParams(camera), mode, flags, meta);
}

}  // namespace orvex
