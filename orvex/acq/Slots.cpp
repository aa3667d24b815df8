#include "acq/CamDataRecord.h"
#include "api/PelCam.h"

void CPelCam::ReleaseAcquisitionBuffer() {
  if (slots.empty() || !slots[0]) return;
  orvex::ReleaseCamData(slots[0]);
  slots[0] = nullptr;
}

void CPelCam::RecordRegisterWrite(uint8_t /*address*/, uint8_t /*value*/) {}
