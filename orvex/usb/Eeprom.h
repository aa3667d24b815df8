// The controller's boot EEPROM, through the EEPROM command packets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvex {

class CUsbInterface;

constexpr uint32_t kEepromChunkBytes = 48;

// 0, or -1 when a chunk is not acknowledged (or its data did not arrive).
int EepromRead(CUsbInterface& usb, uint32_t address, uint8_t* buffer, uint32_t count);

// Writes and reads back every chunk: 0, -1 (bad boot header at address 0 or a
// write not acknowledged), -2 (read-back differs). At address 0 the boot byte
// goes in last, so an interrupted write never leaves a bootable half image;
// image[0] is restored before returning.
int EepromWrite(CUsbInterface& usb, uint32_t address, uint8_t* image, uint32_t count);

}  // namespace orvex
