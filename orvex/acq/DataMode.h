// Data mode, size and shape of camera data, derived from the register values.
#pragma once

#include <cstdint>

#include "Orvex.h"

class CPelCam;

namespace orvex {

constexpr uint32_t kFrameHeaderBytes = 2048;

// Data mode from CamMode (or cam_mode) and Comp11to8; 0 when there is no valid mode.
uint32_t DetermineDataMode(CPelCam& camera);

// Frame-stack parameters read by name (N, D and the window half-width H).
struct AcqParams {
  uint32_t frames = 0;      // SensNFrames (or frames)
  uint32_t darkFrames = 0;  // SensNDarkFrames
  uint32_t halfWindow = 0;  // register ExSimpMaxHwin, at most 10
};
AcqParams ReadAcqParams(CPelCam& camera);

// Bytes of a record of this mode and flags (header and USB padding included)
// and, when meta is given, its shape. Mode 0, 2 and unknown modes give 0 and
// leave meta unchanged.
uint32_t ComputeDataSize(const AcqParams& params, uint32_t mode, uint16_t flags, _CamDataMeta* meta);
uint32_t ComputeDataSize(CPelCam& camera, uint32_t mode, uint16_t flags, _CamDataMeta* meta);

// Flags of a raw acquisition in this data mode.
inline uint16_t RawAcquisitionFlags(uint32_t mode) {
  return mode == 5 ? QV_CD_USB_PADDED | QV_CD_HEADER : QV_CD_USB_PADDED | QV_CD_HEADER | QV_CD_COMPACT;
}

}  // namespace orvex
