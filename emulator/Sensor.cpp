// The scene sensor: raw acquisitions of the size the registers imply, rendered
// from the synthetic scene (Scene.h), one per bulk read.
#include "Sensor.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Scene.h"

namespace orvex_emu {
namespace {

constexpr size_t kHeaderBytes = 2048;

// The body depends only on the settings, so it is rendered once per change.
struct SensorState {
  SceneOptions scene;
  bool rendered = false;
  SensorSettings settings;
  std::vector<uint8_t> body;
};

SensorState& StateOf(SensorContext& context) {
  if (!context.state) {
    auto* state = new SensorState;
    state->scene = ParseSceneText(context.scene);
    context.state = state;
  }
  return *static_cast<SensorState*>(context.state);
}

const std::vector<uint8_t>& Body(SensorState& state, const SensorSettings& settings) {
  if (!state.rendered || !(state.settings == settings)) {
    state.body.assign(RawAcquisitionBytes(settings) - kHeaderBytes, 0);
    RenderBody(settings, state.scene, state.body.data());
    state.settings = settings;
    state.rendered = true;
  }
  return state.body;
}

}  // namespace

size_t SensorRead(const uint8_t* registers256, uint8_t* buffer, size_t length, SensorContext& context) {
  SensorState& state = StateOf(context);
  SensorSettings settings = ReadSensorSettings(registers256);
  // A held sensor, or one waiting for a trigger that does not come, sends nothing.
  if (settings.acqStop || (!settings.freeRunning && !state.scene.externalTrigger)) return 0;
  const size_t total = RawAcquisitionBytes(settings);
  if (total == 0 || length == 0) return 0;
  // One transfer carries one acquisition; what the host did not ask for is lost.
  const size_t n = std::min(length, total);
  uint8_t header[kHeaderBytes];
  WriteFrameHeader(header, settings, context.acquisitionCount, context.timeNs);
  std::memcpy(buffer, header, std::min(n, kHeaderBytes));
  if (n > kHeaderBytes) std::memcpy(buffer + kHeaderBytes, Body(state, settings).data(), n - kHeaderBytes);
  ++context.acquisitionCount;
  context.timeNs += uint64_t{kFrameDuration} * std::max<uint32_t>(settings.frames, 1);
  return n;
}

size_t SensorAcquisitionBytes(const uint8_t* registers256, SensorContext& context) {
  SensorState& state = StateOf(context);
  SensorSettings settings = ReadSensorSettings(registers256);
  if (settings.acqStop || (!settings.freeRunning && !state.scene.externalTrigger)) return 0;
  return RawAcquisitionBytes(settings);
}

uint64_t SensorAcquisitionNs(const uint8_t* registers256) {
  return uint64_t{kFrameDuration} * std::max<uint32_t>(ReadSensorSettings(registers256).frames, 1);
}

void SensorRelease(SensorContext& context) {
  delete static_cast<SensorState*>(context.state);
  context.state = nullptr;
}

}  // namespace orvex_emu
