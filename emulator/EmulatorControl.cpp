#include "EmulatorControl.h"

#include <cstdio>
#include <cstring>

#include "Emulator.h"

using namespace orvex_emu;

namespace {

// Runs fn(camera) under the state lock and the camera's lock; -1 for an
// unknown camera.
template <class Fn>
int WithCamera(int index, Fn fn) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  if (index < 0 || size_t(index) >= state.cameras.size()) return -1;
  VirtualCamera& camera = *state.cameras[size_t(index)];
  std::lock_guard<std::mutex> cameraLock(camera.Mutex());
  return fn(camera);
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
  if (!key || !value) return -1;
  return WithCamera(camera, [&](VirtualCamera& target) {
    std::string error;
    if (!ApplyCameraKey(target.Config(), key, value, error)) return -1;
    std::string name(key);
    if (name == "serial" || name == "identity" || name == "eeprom") target.RebuildEeprom();
    if (name == "busy" || name == "regdesc" || name == "busy_reads") target.ReloadRegisterModel();
    if (name == "register") {
      auto [address, registerValue] = target.Config().registers.back();
      target.Registers()[address] = registerValue;
    }
    return 0;
  });
}

int orvex_emu_unplug(int camera) {
  return WithCamera(camera, [](VirtualCamera& target) {
    target.Unplug();
    return 0;
  });
}

int orvex_emu_replug(int camera) {
  return WithCamera(camera, [](VirtualCamera& target) {
    target.Unplug();
    target.PowerUp();
    return 0;
  });
}

int orvex_emu_read_eeprom(int camera, uint32_t address, void* buffer, uint32_t count) {
  if (!buffer || address > kEepromBytes || count > kEepromBytes - address) return -1;
  return WithCamera(camera, [&](VirtualCamera& target) {
    std::memcpy(buffer, target.Eeprom().data() + address, count);
    return 0;
  });
}

int orvex_emu_write_eeprom(int camera, uint32_t address, const void* buffer, uint32_t count) {
  if (!buffer || address > kEepromBytes || count > kEepromBytes - address) return -1;
  return WithCamera(camera, [&](VirtualCamera& target) {
    std::memcpy(target.Eeprom().data() + address, buffer, count);
    return 0;
  });
}

int orvex_emu_registers(int camera, uint8_t* registers256) {
  if (!registers256) return -1;
  return WithCamera(camera, [&](VirtualCamera& target) {
    std::memcpy(registers256, target.Registers().data(), 256);
    return 0;
  });
}

int orvex_emu_set_register(int camera, uint8_t address, uint8_t value) {
  return WithCamera(camera, [&](VirtualCamera& target) {
    target.Registers()[address] = value;
    return 0;
  });
}

int orvex_emu_fpga_configured(int camera) {
  return WithCamera(camera, [](VirtualCamera& target) { return int(target.FpgaConfigured()); });
}

int orvex_emu_fpga_downloads(int camera) {
  return WithCamera(camera, [](VirtualCamera& target) { return int(target.FpgaDownloads()); });
}

int orvex_emu_firmware_running(int camera) {
  return WithCamera(camera, [](VirtualCamera& target) { return int(target.FirmwareRunning()); });
}

size_t orvex_emu_log_size(void) {
  Emulator& state = State();
  std::lock_guard<std::mutex> lock(state.logMutex);
  return state.log.size();
}

int orvex_emu_log_get(size_t position, OrvexEmuEvent* event) {
  Emulator& state = State();
  std::lock_guard<std::mutex> lock(state.logMutex);
  if (!event || position >= state.log.size()) return -1;
  *event = state.log[position];
  return 0;
}

void orvex_emu_log_clear(void) {
  Emulator& state = State();
  std::lock_guard<std::mutex> lock(state.logMutex);
  state.log.clear();
}

}  // extern "C"
