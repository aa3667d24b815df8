#include "EmulatorControl.h"

#include <cstdio>
#include <cstring>

#include "Emulator.h"

using namespace orvex_emu;

namespace {

VirtualCamera* Camera(Emulator& state, int index) {
  if (index < 0 || size_t(index) >= state.cameras.size()) return nullptr;
  return state.cameras[size_t(index)].get();
}

}  // namespace

extern "C" {

int orvex_emu_configure(const char* text, char* error, size_t errorSize) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  EmulatorConfig config;
  if (!text) {
    config = ConfigFromEnvironment();
  } else {
    std::string reason;
    if (!ParseConfig(text, config, reason)) {
      if (error && errorSize) std::snprintf(error, errorSize, "%s", reason.c_str());
      return -1;
    }
  }
  InstallCameras(state, config);
  return 0;
}

int orvex_emu_camera_count(void) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  return int(state.cameras.size());
}

int orvex_emu_set(int camera, const char* key, const char* value) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  VirtualCamera* target = Camera(state, camera);
  if (!target || !key || !value) return -1;
  std::string error;
  if (!ApplyCameraKey(target->Config(), key, value, error)) return -1;
  std::string name(key);
  if (name == "serial" || name == "identity" || name == "eeprom") target->RebuildEeprom();
  if (name == "busy" || name == "regdesc" || name == "busy_reads") target->ReloadRegisterModel();
  if (name == "register") {
    auto [address, registerValue] = target->Config().registers.back();
    target->Registers()[address] = registerValue;
  }
  return 0;
}

int orvex_emu_unplug(int camera) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  VirtualCamera* target = Camera(state, camera);
  if (!target) return -1;
  target->Unplug();
  return 0;
}

int orvex_emu_replug(int camera) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  VirtualCamera* target = Camera(state, camera);
  if (!target) return -1;
  target->Unplug();
  target->PowerUp();
  return 0;
}

int orvex_emu_read_eeprom(int camera, uint32_t address, void* buffer, uint32_t count) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  VirtualCamera* target = Camera(state, camera);
  if (!target || !buffer || address > kEepromBytes || count > kEepromBytes - address) return -1;
  std::memcpy(buffer, target->Eeprom().data() + address, count);
  return 0;
}

int orvex_emu_write_eeprom(int camera, uint32_t address, const void* buffer, uint32_t count) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  VirtualCamera* target = Camera(state, camera);
  if (!target || !buffer || address > kEepromBytes || count > kEepromBytes - address) return -1;
  std::memcpy(target->Eeprom().data() + address, buffer, count);
  return 0;
}

int orvex_emu_registers(int camera, uint8_t* registers256) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  VirtualCamera* target = Camera(state, camera);
  if (!target || !registers256) return -1;
  std::memcpy(registers256, target->Registers().data(), 256);
  return 0;
}

int orvex_emu_set_register(int camera, uint8_t address, uint8_t value) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  VirtualCamera* target = Camera(state, camera);
  if (!target) return -1;
  target->Registers()[address] = value;
  return 0;
}

int orvex_emu_fpga_configured(int camera) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  VirtualCamera* target = Camera(state, camera);
  return target ? int(target->FpgaConfigured()) : -1;
}

int orvex_emu_fpga_downloads(int camera) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  VirtualCamera* target = Camera(state, camera);
  return target ? int(target->FpgaDownloads()) : -1;
}

int orvex_emu_firmware_running(int camera) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  VirtualCamera* target = Camera(state, camera);
  return target ? int(target->FirmwareRunning()) : -1;
}

size_t orvex_emu_log_size(void) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  return state.log.size();
}

int orvex_emu_log_get(size_t position, OrvexEmuEvent* event) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  if (!event || position >= state.log.size()) return -1;
  *event = state.log[position];
  return 0;
}

void orvex_emu_log_clear(void) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  state.log.clear();
}

}  // extern "C"
