// The service functions behind QV_InternalFunc (codes 1 to 4; code 0 is
// LoadAndUploadFirmware in Firmware.h).
#pragma once

#include <cstdint>

namespace orvex {

int ReadControllerEeprom(uint32_t address, uint8_t* buffer, uint32_t count);
int WriteControllerEeprom(const char* fileName);
int WriteSerialNumber(const char* serial);
int ReadSerialNumber(char* buffer);

}  // namespace orvex
