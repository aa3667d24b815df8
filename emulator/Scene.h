// The synthetic scene in front of the emulated sensor: a tilted plane with a
// raised rectangular step, of known depth and amplitude per pixel, rendered
// into raw acquisitions exactly as the camera packs them for each mode.
// docs/emulator-scene.md states the ground truth for comparisons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvex_emu {

// Register addresses of the K7 TQ20 design that shape an acquisition.
constexpr uint8_t kRegAcqCtrl = 0x02;      // bit 0 AcqStop, bit 2 TrigFreeExtN
constexpr uint8_t kRegCamModeCtrl = 0x03;  // bits 0-2 CamMode, bit 3 Comp11to8
constexpr uint8_t kRegFramesLo = 0x10;     // SensNFrames bits 0-7
constexpr uint8_t kRegFramesHi = 0x11;     // SensNFrames bits 8-10
constexpr uint8_t kRegDarkFrames = 0x12;   // SensNDarkFrames
constexpr uint8_t kRegExpRatio = 0x13;     // SensExpRatio
constexpr uint8_t kRegHalfWindow = 0x1D;   // ExSimpMaxHwin

constexpr uint16_t kSyncWord = 0x5AA5;     // the design's frame marker
constexpr uint32_t kFrameDuration = 70000; // frmDur, the zTag reference
constexpr uint16_t kFirstZTag = 65000;     // position counter at frame 0, near wrap-around
constexpr uint16_t kZTagStep = 250;        // counts per frame
constexpr uint16_t kPhaseWord = 25736;     // pi in 1/8192 rad

struct SensorSettings {
  uint32_t camMode = 0;
  bool comp11to8 = false;
  uint32_t frames = 0;      // N
  uint32_t darkFrames = 0;  // D
  uint32_t expRatio = 0;    // R
  uint32_t halfWindow = 0;  // H, at most 10
  bool acqStop = false;
  bool freeRunning = false;
  bool operator==(const SensorSettings& o) const {
    return camMode == o.camMode && comp11to8 == o.comp11to8 && frames == o.frames && darkFrames == o.darkFrames &&
           expRatio == o.expRatio && halfWindow == o.halfWindow;
  }
};

SensorSettings ReadSensorSettings(const uint8_t* registers256);

// The data mode the library derives from the same registers (0: none).
uint32_t SensorDataMode(const SensorSettings& s);
// Bytes of one raw acquisition: header, data, USB padding; 0 without a mode.
size_t RawAcquisitionBytes(const SensorSettings& s);

// Scene choices from the free "scene" text of the configuration.
struct SceneOptions {
  bool step = true;             // "flat": no raised step
  bool externalTrigger = true;  // "trigger=off": the external trigger input stays quiet
};
SceneOptions ParseSceneText(const std::string& text);

// Ground truth per sensor pixel (x across, y down).
// Depth in 1/32 frame: 256 + x + floor(y / 2), plus 128 on the step.
uint32_t SceneDepth32(const SceneOptions& scene, unsigned x, unsigned y);
inline double SceneDepthFrames(const SceneOptions& scene, unsigned x, unsigned y) {
  return SceneDepth32(scene, x, y) / 32.0;
}
// Amplitude: 500 on the plane, 1000 on the step.
uint32_t SceneAmplitude(const SceneOptions& scene, unsigned x, unsigned y);
bool OnStep(const SceneOptions& scene, unsigned x, unsigned y);
// Lock-in amplitude of frame f: a x sqrt(max(0, 1 - |f - depth| / 2)).
double FrameAmplitude(const SceneOptions& scene, unsigned x, unsigned y, double frame);

// The 2048-byte frame header of acquisition number `acquisition`.
void WriteFrameHeader(uint8_t* out, const SensorSettings& s, uint64_t acquisition, uint64_t timeNs);
// The data behind the header (padding included, zero): RawAcquisitionBytes - 2048 bytes.
void RenderBody(const SensorSettings& s, const SceneOptions& scene, uint8_t* out);

}  // namespace orvex_emu
