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
    state.cameras.push_back(std::make_shared<VirtualCamera>(i, config.cameras[i]));
  state.current.assign(state.cameras.size(), nullptr);
  state.nextDevnum = 1;  // a new bus numbers its devices afresh
  state.currentGeneration.assign(state.cameras.size(), 0);
  state.bus.devices = nullptr;
}

HandleTarget TargetOf(Emulator& state, usb_dev_handle* handle) {
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  HandleTarget target;
  if (!handle || !state.handles.count(handle)) return target;
  target.index = handle->camera;
  if (handle->epoch != state.epoch || handle->camera < 0 || size_t(handle->camera) >= state.cameras.size())
    return target;
  target.camera = state.cameras[size_t(handle->camera)];
  target.generation = handle->generation;
  return target;
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
  std::lock_guard<std::mutex> lock(state.logMutex);
  if (state.log.size() >= kLogLimit) state.log.erase(state.log.begin(), state.log.begin() + kLogLimit / 2);
  state.log.push_back(event);
}

}  // namespace orvex_emu
