// Access to the emulator's control interface from tests: the library under
// test loads libusb-0.1.so.4 by name; with build/emulator first in the search
// path that is the emulator, and dlopen hands us the same instance.
#pragma once

#include <string>
#include <vector>

#include "EmulatorControl.h"

namespace orvex_test {

struct EmulatorApi {
  decltype(&orvex_emu_configure) configure;
  decltype(&orvex_emu_camera_count) cameraCount;
  decltype(&orvex_emu_set) set;
  decltype(&orvex_emu_unplug) unplug;
  decltype(&orvex_emu_replug) replug;
  decltype(&orvex_emu_read_eeprom) readEeprom;
  decltype(&orvex_emu_write_eeprom) writeEeprom;
  decltype(&orvex_emu_registers) registers;
  decltype(&orvex_emu_set_register) setRegister;
  decltype(&orvex_emu_fpga_configured) fpgaConfigured;
  decltype(&orvex_emu_fpga_downloads) fpgaDownloads;
  decltype(&orvex_emu_firmware_running) firmwareRunning;
  decltype(&orvex_emu_log_size) logSize;
  decltype(&orvex_emu_log_get) logGet;
  decltype(&orvex_emu_log_clear) logClear;
};

// The loaded emulator; fails the test (and returns null) when the USB
// library in the search path is not the emulator.
const EmulatorApi* Emulator();

// Reconfigures the cameras (test fails on a parse error) and clears the log.
void ConfigureEmulator(const std::string& text);

std::vector<OrvexEmuEvent> EmulatorLog();
// Only the events of one kind (and endpoint, when given).
std::vector<OrvexEmuEvent> EmulatorEvents(uint32_t kind, int endpoint = -1);
std::vector<uint8_t> EventData(const OrvexEmuEvent& event);
// A 64-byte packet from a byte prefix, the rest filled with `fill`.
std::vector<uint8_t> Packet(std::initializer_list<uint8_t> prefix, uint8_t fill = 0);

}  // namespace orvex_test
