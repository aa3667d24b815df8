// The service functions behind QV_InternalFunc (codes 1 to 4 and 16 to 19;
// code 0 is LoadAndUploadFirmware in Firmware.h).
#pragma once

#include <cstdint>

namespace orvex {

int ReadControllerEeprom(uint32_t address, uint8_t* buffer, uint32_t count);
int WriteControllerEeprom(const char* fileName);
int WriteSerialNumber(const char* serial);
int ReadSerialNumber(char* buffer);

// The same services on the camera an open-string selection names by its
// "serial=" key, or on the only connected camera when it names none. -1, with
// the reason reported, when no camera or more than one fits; the serial write
// returns -1 when it failed, too.
int ReadSelectedEeprom(const char* selection, uint32_t address, uint8_t* buffer, uint32_t count);
int WriteSelectedEeprom(const char* selection, const char* fileName);
int WriteSelectedSerial(const char* selection, const char* serial);
int ReadSelectedSerial(const char* selection, char* buffer);

}  // namespace orvex
