// Register write, read and read-all on the register image. The USB transfer of
// each access arrives with the USB transport.
#include "api/PelCam.h"
#include "desc/MapAccess.h"

int32_t CPelCam::SetReg(uint8_t address, uint8_t value) {
  if (address >= regImage.size()) return 0;
  regImage[address] = value;
  if ((regAttr[address] & orvex::kAttrReleasesAcq) && !slots.empty()) ReleaseAcquisitionBuffer();
  RecordRegisterWrite(address, value);
  return 0;
}

uint8_t CPelCam::GetReg(uint8_t address) { return address < regImage.size() ? regImage[address] : 0; }

int32_t CPelCam::GetAllReg() { return 0; }
