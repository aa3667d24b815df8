#include "Scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvex_emu {
namespace {

constexpr size_t kHeaderBytes = 2048;
// Half width of the lock-in energy tent, in frames.
constexpr double kTentFrames = 2.0;
constexpr double kTwoPi = 6.283185307179586;
constexpr uint16_t kDark0 = 100, kDark1 = 50;  // dark levels of the intensity mode
constexpr uint32_t kShortExposureDivisor = 8;

void Put16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void PutN(uint8_t* at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Clamp16(double v) { return static_cast<uint32_t>(std::clamp(std::lround(v), 0L, 65535L)); }

// Amplitude word of one frame: 16 x amplitude, as A16Z16 and window data carry it.
uint32_t AmplitudeWord(const SceneOptions& scene, unsigned x, unsigned y, double frame) {
  return Clamp16(16.0 * FrameAmplitude(scene, x, y, frame));
}

// Raw order of the stacked modes: row by row, groups of three pixels, all
// frames of a group side by side.
template <class Emit>
uint8_t* WriteGrouped(uint8_t* out, unsigned rows, unsigned columns, uint32_t frames, size_t elementBytes, Emit emit) {
  for (unsigned y = 0; y < rows; ++y)
    for (unsigned g = 0; g < columns / 3; ++g)
      for (uint32_t f = 0; f < frames; ++f)
        for (unsigned k = 0; k < 3; ++k, out += elementBytes) emit(out, 3 * g + k, y, f);
  return out;
}

void RenderIq(const SensorSettings& s, const SceneOptions& scene, uint8_t* out) {
  WriteGrouped(out, 300, 300, s.frames, 4, [&](uint8_t* at, unsigned x, unsigned y, uint32_t f) {
    double a = 16.0 * FrameAmplitude(scene, x, y, f);
    double depth = SceneDepthFrames(scene, x, y);
    double phase = kTwoPi * (depth - std::floor(depth));
    Put16(at, Clamp16(32768.0 + a * std::cos(phase)));
    Put16(at + 2, Clamp16(32768.0 + a * std::sin(phase)));
  });
}

void RenderAmplitudeStack(const SensorSettings& s, const SceneOptions& scene, uint8_t* out, bool compressed) {
  WriteGrouped(out, 292, 282, s.frames, compressed ? 1 : 2, [&](uint8_t* at, unsigned x, unsigned y, uint32_t f) {
    uint32_t word = AmplitudeWord(scene, x, y, f);
    if (compressed)
      *at = static_cast<uint8_t>(std::min<uint32_t>(word >> 6, 255));
    else
      Put16(at, word);
  });
}

void RenderA16Z16(const SceneOptions& scene, uint8_t* out) {
  for (unsigned y = 0; y < 292; ++y)
    for (unsigned x = 0; x < 280; ++x, out += 4) {
      Put16(out, 16 * SceneAmplitude(scene, x, y));
      Put16(out + 2, SceneDepth32(scene, x, y));
    }
}

// Compact window layout: per row, groups of 2 (columns 0-1 and 278-279) and 3
// pixels; a start word per pixel, then W samples of two words per pixel.
void RenderWindow(const SensorSettings& s, const SceneOptions& scene, uint8_t* out) {
  const unsigned h = std::min<uint32_t>(s.halfWindow, 10);
  const unsigned w = 2 * h + 1;
  for (unsigned y = 0; y < 292; ++y) {
    unsigned x0 = 0;
    while (x0 < 280) {
      unsigned n = (x0 == 0 || x0 == 278) ? 2 : 3;
      for (unsigned p = 0; p < n; ++p, out += 2) {
        // The centre sample sits on the whole frame nearest the surface.
        uint32_t centre = (SceneDepth32(scene, x0 + p, y) + 16) / 32;
        Put16(out, centre * 32);
      }
      for (unsigned k = 0; k < w; ++k)
        for (unsigned p = 0; p < n; ++p, out += 4) {
          uint32_t centre = (SceneDepth32(scene, x0 + p, y) + 16) / 32;
          double frame = static_cast<double>(centre) - h + k;
          Put16(out, AmplitudeWord(scene, x0 + p, y, frame));
          Put16(out + 2, kPhaseWord);
        }
      x0 += n;
    }
  }
}

// Intensity: frame 0 unused, dark frames 1..D-1, frame D unused, then
// exposures growing by one unit each, a long and a short (1/8) reading.
void RenderIntensity(const SensorSettings& s, const SceneOptions& scene, uint8_t* out) {
  const uint32_t d = s.darkFrames;
  WriteGrouped(out, 300, 300, s.frames, 4, [&](uint8_t* at, unsigned x, unsigned y, uint32_t f) {
    uint32_t first = 0, second = 0;
    if (f >= 1 && f < d) {
      first = kDark0;
      second = kDark1;
    } else if (f > d) {
      double exposure = (SceneAmplitude(scene, x, y) / 4.0) * (f - d);
      first = Clamp16(kDark0 + exposure);
      second = Clamp16(kDark1 + exposure / kShortExposureDivisor);
    }
    Put16(at, first);
    Put16(at + 2, second);
  });
}

}  // namespace

SensorSettings ReadSensorSettings(const uint8_t* r) {
  SensorSettings s;
  s.camMode = r[kRegCamModeCtrl] & 0x07;
  s.comp11to8 = (r[kRegCamModeCtrl] & 0x08) != 0;
  s.frames = r[kRegFramesLo] | (uint32_t{r[kRegFramesHi] & 0x07u} << 8);
  s.darkFrames = r[kRegDarkFrames];
  s.expRatio = r[kRegExpRatio];
  s.halfWindow = std::min<uint32_t>(r[kRegHalfWindow], 10);
  s.acqStop = (r[kRegAcqCtrl] & 0x01) != 0;
  s.freeRunning = (r[kRegAcqCtrl] & 0x04) != 0;
  return s;
}

uint32_t SensorDataMode(const SensorSettings& s) {
  switch (s.camMode) {
    case 0: return 1;
    case 1:
    case 2: return s.comp11to8 ? 4 : 3;
    case 3: return 7;
    case 4:
    case 7: return 5;
    case 5: return 6;
    default: return 0;
  }
}

size_t RawAcquisitionBytes(const SensorSettings& s) {
  size_t n = s.frames, w = 2 * s.halfWindow + 1, data = 0;
  switch (SensorDataMode(s)) {
    case 1:
    case 7: data = n * 360000; break;
    case 3: data = n * 164688; break;
    case 4: data = n * 82344; break;
    case 5: data = 327040; break;
    case 6: data = w * 327040 + 163520; break;
    default: return 0;
  }
  return (data + kHeaderBytes + 512) & ~size_t{511};
}

SceneOptions ParseSceneText(const std::string& text) {
  SceneOptions scene;
  if (text.find("flat") != std::string::npos) scene.step = false;
  if (text.find("trigger=off") != std::string::npos) scene.externalTrigger = false;
  return scene;
}

bool OnStep(const SceneOptions& scene, unsigned x, unsigned y) {
  return scene.step && x >= 96 && x < 192 && y >= 96 && y < 192;
}

uint32_t SceneDepth32(const SceneOptions& scene, unsigned x, unsigned y) {
  return 256 + x + y / 2 + (OnStep(scene, x, y) ? 128 : 0);
}

uint32_t SceneAmplitude(const SceneOptions& scene, unsigned x, unsigned y) { return OnStep(scene, x, y) ? 1000 : 500; }

double FrameAmplitude(const SceneOptions& scene, unsigned x, unsigned y, double frame) {
  // The squared amplitude is a tent on whole frames, so its centroid over the
  // frames is exactly the depth (a tent sampled on integers reproduces lines).
  double energy = 1.0 - std::fabs(frame - SceneDepthFrames(scene, x, y)) / kTentFrames;
  return energy > 0.0 ? SceneAmplitude(scene, x, y) * std::sqrt(energy) : 0.0;
}

void WriteFrameHeader(uint8_t* out, const SensorSettings& s, uint64_t acquisition, uint64_t timeNs) {
  std::memset(out, 0, kHeaderBytes);
  Put16(out + 2, kSyncWord);
  const uint32_t samples = std::min<uint32_t>(s.frames, 512);
  for (uint32_t i = 0; i < samples; ++i) Put16(out + 32 + 2 * i, (kFirstZTag + kZTagStep * i) & 0xFFFF);
  Put16(out + 2016, 2500);  // tmpOptics, 1/100 degree
  Put16(out + 2018, 3100);  // tmpLaser
  PutN(out + 2020, kFrameDuration, 4);
  PutN(out + 2024, uint64_t{kFrameDuration} * s.frames, 8);  // scanDur
  PutN(out + 2032, timeNs, 8);
  Put16(out + 2040, samples);
  PutN(out + 2044, acquisition, 4);  // nVolume
}

void RenderBody(const SensorSettings& s, const SceneOptions& scene, uint8_t* out) {
  const size_t total = RawAcquisitionBytes(s);
  if (total <= kHeaderBytes) return;
  std::memset(out, 0, total - kHeaderBytes);
  switch (SensorDataMode(s)) {
    case 1: RenderIq(s, scene, out); break;
    case 3: RenderAmplitudeStack(s, scene, out, false); break;
    case 4: RenderAmplitudeStack(s, scene, out, true); break;
    case 5: RenderA16Z16(scene, out); break;
    case 6: RenderWindow(s, scene, out); break;
    case 7: RenderIntensity(s, scene, out); break;
    default: break;
  }
}

}  // namespace orvex_emu
