#include "EmulatorHarness.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace orvex_test {
namespace {

template <class Fn>
void Bind(void* library, const char* name, Fn& slot, bool& ok) {
  slot = reinterpret_cast<Fn>(dlsym(library, name));
  ok = ok && slot;
}

const EmulatorApi* Load() {
  void* library = dlopen("libusb-0.1.so.4", RTLD_NOW);
  if (!library) return nullptr;
  static EmulatorApi api;
  bool ok = true;
  Bind(library, "orvex_emu_configure", api.configure, ok);
  Bind(library, "orvex_emu_camera_count", api.cameraCount, ok);
  Bind(library, "orvex_emu_set", api.set, ok);
  Bind(library, "orvex_emu_unplug", api.unplug, ok);
  Bind(library, "orvex_emu_replug", api.replug, ok);
  Bind(library, "orvex_emu_read_eeprom", api.readEeprom, ok);
  Bind(library, "orvex_emu_write_eeprom", api.writeEeprom, ok);
  Bind(library, "orvex_emu_registers", api.registers, ok);
  Bind(library, "orvex_emu_set_register", api.setRegister, ok);
  Bind(library, "orvex_emu_fpga_configured", api.fpgaConfigured, ok);
  Bind(library, "orvex_emu_fpga_downloads", api.fpgaDownloads, ok);
  Bind(library, "orvex_emu_firmware_running", api.firmwareRunning, ok);
  Bind(library, "orvex_emu_log_size", api.logSize, ok);
  Bind(library, "orvex_emu_log_get", api.logGet, ok);
  Bind(library, "orvex_emu_log_clear", api.logClear, ok);
  return ok ? &api : nullptr;
}

}  // namespace

const EmulatorApi* Emulator() {
  static const EmulatorApi* api = Load();
  EXPECT_NE(api, nullptr) << "libusb-0.1.so.4 in the search path is not the emulator; "
                             "run with LD_LIBRARY_PATH=" ORVEX_EMULATOR_DIR;
  return api;
}

void ConfigureEmulator(const std::string& text) {
  const EmulatorApi* api = Emulator();
  if (!api) return;
  char error[256] = "";
  ASSERT_EQ(api->configure(text.c_str(), error, sizeof error), 0) << error;
  api->logClear();
}

std::vector<OrvexEmuEvent> EmulatorLog() {
  std::vector<OrvexEmuEvent> events;
  const EmulatorApi* api = Emulator();
  if (!api) return events;
  events.resize(api->logSize());
  for (size_t i = 0; i < events.size(); ++i) api->logGet(i, &events[i]);
  return events;
}

std::vector<OrvexEmuEvent> EmulatorEvents(uint32_t kind, int endpoint) {
  std::vector<OrvexEmuEvent> selected;
  for (const OrvexEmuEvent& event : EmulatorLog())
    if (event.kind == kind && (endpoint < 0 || event.endpoint == uint32_t(endpoint))) selected.push_back(event);
  return selected;
}

std::vector<uint8_t> EventData(const OrvexEmuEvent& event) {
  return std::vector<uint8_t>(event.data, event.data + event.dataLength);
}

std::vector<uint8_t> Packet(std::initializer_list<uint8_t> prefix, uint8_t fill) {
  std::vector<uint8_t> packet(64, fill);
  std::copy(prefix.begin(), prefix.end(), packet.begin());
  return packet;
}

}  // namespace orvex_test
