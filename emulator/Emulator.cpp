#include "Emulator.h"

#include <cstring>

namespace orvex_emu {

Emulator& State() {
  static Emulator* state = [] {
    auto* created = new Emulator;
    InstallCameras(*created, ConfigFromEnvironment());
    return created;
  }();
  return *state;
}

void InstallCameras(Emulator& state, const EmulatorConfig& config) {
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  ++state.epoch;
  state.cameras.clear();
  for (unsigned i = 0; i < config.cameras.size(); ++i)
    state.cameras.push_back(std::make_unique<VirtualCamera>(i, config.cameras[i]));
  state.current.assign(state.cameras.size(), nullptr);
  state.currentGeneration.assign(state.cameras.size(), 0);
  state.bus.devices = nullptr;
}

VirtualCamera* CameraOf(Emulator& state, usb_dev_handle* handle) {
  if (!handle || !state.handles.count(handle) || handle->epoch != state.epoch) return nullptr;
  if (handle->camera < 0 || size_t(handle->camera) >= state.cameras.size()) return nullptr;
  VirtualCamera& camera = *state.cameras[size_t(handle->camera)];
  if (!camera.Plugged() || camera.Generation() != handle->generation) return nullptr;
  return &camera;
}

OrvexEmuEvent MakeEvent(int camera, uint32_t kind) {
  OrvexEmuEvent event;
  std::memset(&event, 0, sizeof event);
  event.camera = camera;
  event.kind = kind;
  return event;
}

// The log keeps the most recent events; long runs drop the oldest half.
void LogEvent(Emulator& state, const OrvexEmuEvent& event) {
  if (state.log.size() >= kLogLimit) state.log.erase(state.log.begin(), state.log.begin() + kLogLimit / 2);
  state.log.push_back(event);
}

}  // namespace orvex_emu
