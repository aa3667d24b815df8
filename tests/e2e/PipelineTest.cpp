// One whole session against the emulated camera, as an application runs it:
// open, acquire in every camera mode while recording, process, extract, scale,
// close; then replay the recording and do it all again. The sanitizer build and
// scripts/leakcheck.sh (valgrind) run this program to show that no byte leaks
// and no access goes astray; the checks against the scene make sure the run
// did real work rather than failing early and cheaply.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "K7Hlp.h"
#include "Orvex.h"
#include "Scene.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"
#include "desc/NameLookup.h"
#include "platform/Sleep.h"

using e2e::Amplitude;
using e2e::At;
using e2e::Depth;
using e2e::Depth32;
using e2e::FrameAmplitude;
using e2e::OnStep;

namespace {

struct Case {
  uint32_t camMode;
  uint32_t frames;
  uint32_t dataMode;  // what slot 1 is processed into
  uint16_t flags;
  uint32_t comp11to8;
  uint32_t halfWindow;
};

// Every camera mode (6 has no data), some with several frame counts. The
// surface modes use 32 frames so that every depth of the scene lies inside
// the counter table.
const Case kCases[] = {
    {0, 3, 1, 0, 0, 0},  {0, 12, 1, 0, 0, 0},  {1, 1, 3, 0, 0, 0},           {1, 6, 3, 0, 0, 0},
    {2, 16, 4, 0, 1, 0}, {3, 9, 7, 0, 0, 0},   {4, 32, 5, 0, 0, 0},          {5, 32, 6, 0, 0, 3},
    {5, 32, 6, 0, 0, 10}, {7, 32, 5, QV_CD_CROSS, 0, 0},
};
constexpr size_t kCaseCount = sizeof kCases / sizeof kCases[0];
constexpr uint32_t kDarkFrames = 3, kExposureRatio = 2;

uint64_t Fnv1a(const void* data, size_t n) {
  uint64_t hash = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) hash = (hash ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211ull;
  return hash;
}

// A K7Hlp record that is prepared and released with its owner.
struct Record {
  K7Hlp_Data d{};
  Record() { K7Hlp_alloc(&d); }
  ~Record() { EXPECT_EQ(K7Hlp_free(&d), 0); }
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  K7Hlp_Data* operator&() { return &d; }
  float F(unsigned x, unsigned y) const { return At<float>(d.data, size_t{y} * d.dim[0] + x); }
};

// Pixels off the step, left of and above the centre cross, and one on the step.
const unsigned kPlanePixels[][2] = {{0, 0}, {10, 10}, {50, 130}, {130, 40}, {20, 140}};
const unsigned kStepPixel[2] = {120, 120};

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Loaded by path first, so that the library's own load by soname finds it.
    emulator = dlopen(ORVEX_EMULATOR_DIR "/libusb-0.1.so.4", RTLD_NOW | RTLD_GLOBAL);
    configure = emulator ? reinterpret_cast<decltype(configure)>(dlsym(emulator, "orvex_emu_configure")) : nullptr;
    if (!configure) GTEST_SKIP() << "emulator not built";
    folder.CopyShippedData();
    // The emulated controller re-enumerates at once; the waits need not pass.
    previousSleep = orvex::ReplaceSleepFunction(+[](uint32_t) {});
    char error[256] = {};
    ASSERT_EQ(configure("fpga = configured\nregister = 2:4\n", error, sizeof error), 0) << error;
  }
  void TearDown() override {
    if (!configure) return;
    configure(nullptr, nullptr, 0);
    orvex::ReplaceSleepFunction(previousSleep);
  }

  std::string Messages() const {
    std::string all;
    for (const std::string& text : recorder.texts()) all += text + "\n";
    return all;
  }

  static void Set(QV_Handle h, const char* name, uint32_t value) {
    _Map* map = orvex::FindMap(QV_GetRegDesc(h), name);
    ASSERT_NE(map, nullptr) << name;
    ASSERT_EQ(QV_SetMap(h, map, value), 0) << name;
  }
  static void Configure(QV_Handle h, const Case& c) {
    Set(h, "CamMode", c.camMode);
    Set(h, "Comp11to8", c.comp11to8);
    Set(h, "SensNFrames", c.frames);
    Set(h, "ExSimpMaxHwin", c.halfWindow);
  }

  // Processes slot 0 into slot 1 and checks it against the scene, then runs
  // the surface library on it.
  void ProcessAndExtract(QV_Handle h, const Case& c) {
    SCOPED_TRACE("CamMode " + std::to_string(c.camMode) + ", " + std::to_string(c.frames) + " frames");
    ASSERT_NE(QV_AllocCamData(h, 1, c.dataMode, c.flags, nullptr, 0), nullptr);
    const _CamData* processed = QV_ProcessCamData(h, 1, 0, nullptr);
    ASSERT_NE(processed, nullptr) << Messages();
    _CamDataMeta meta{};
    _CamData* slot1 = QV_GetCamData(h, 1, 0, &meta);
    ASSERT_EQ(slot1, processed);
    CheckProcessed(c, slot1->data, meta);
    Extract(h, c, &meta, slot1);
  }

  static void CheckProcessed(const Case& c, const void* data, const _CamDataMeta& meta) {
    const uint32_t last = c.frames - 1;
    switch (c.dataMode) {
      case 1:  // IQ16: the phase of (0, 0) is 0, so Q sits at the middle there
        for (unsigned x : {0u, 100u}) {
          uint32_t v = At<uint32_t>(data, (size_t{last} * 300 + x) * 300 + x);
          double a = 16 * FrameAmplitude(x, x, last), phi = 2 * std::acos(-1.0) * (Depth(x, x) - std::floor(Depth(x, x)));
          EXPECT_NEAR(v & 0xFFFF, 32768 + a * std::cos(phi), 1.0) << x;
          EXPECT_NEAR(v >> 16, 32768 + a * std::sin(phi), 1.0) << x;
        }
        break;
      case 3:
      case 4:
        for (unsigned x : {0u, 60u, 150u}) {
          size_t at = (size_t{last} * 292 + x) * 282 + x;
          double a16 = std::round(16 * FrameAmplitude(x, x, last));
          if (c.dataMode == 3) {
            EXPECT_NEAR(At<uint16_t>(data, at), a16, 1.0) << x;
          } else {
            EXPECT_NEAR(At<uint8_t>(data, at), std::min(255.0, std::floor(a16 / 64)), 1.0) << x;
          }
        }
        break;
      case 7:  // the first intensity plane is the scene's light a / 4
        EXPECT_EQ(meta.dimSz[2], c.frames - kDarkFrames - 1);
        EXPECT_EQ(At<float>(data, 0), Amplitude(0, 0) / 4.0f);
        EXPECT_EQ(At<float>(data, 120 * 300 + 120), Amplitude(120, 120) / 4.0f);
        break;
      case 5: {
        const uint32_t w = c.flags & QV_CD_CROSS ? 281 : 280;
        EXPECT_EQ(meta.dimSz[1], w);
        for (const auto& p : kPlanePixels) {
          uint32_t v = At<uint32_t>(data, size_t{p[1]} * w + p[0]);
          EXPECT_EQ(v & 0xFFFF, 16 * Amplitude(p[0], p[1]));
          EXPECT_EQ(v >> 16, Depth32(p[0], p[1]));
        }
        break;
      }
      case 6: {
        const uint32_t w = 2 * c.halfWindow + 1;
        EXPECT_EQ(meta.dimSz[1], w);
        for (const auto& p : kPlanePixels) {
          const uint32_t start = 32 * static_cast<uint32_t>(std::lround(Depth(p[0], p[1])));
          size_t at = (size_t{p[1]} * 280 + p[0]) * w * 3;
          // Start words below frame 0 wrap around like the device's 16-bit counter.
          EXPECT_EQ(At<uint16_t>(data, at), static_cast<uint16_t>(start - 32 * c.halfWindow));
          EXPECT_EQ(At<uint16_t>(data, at + 2), 25736);
        }
        break;
      }
      default:
        ADD_FAILURE() << "no check for data mode " << c.dataMode;
    }
  }

  // The surface library on slot 1. Modes without a surface are refused after
  // the header and registers were copied, which must not leak either.
  void Extract(QV_Handle h, const Case& c, _CamDataMeta* meta, _CamData* processed) {
    _CamData* acquisition = QV_GetCamData(h, 0, 0, nullptr);
    ASSERT_NE(acquisition, nullptr);
    int status = K7Hlp_assignRawData(h, acquisition->data, meta, processed, &raw);
    if (c.camMode != 4 && c.camMode != 5 && c.camMode != 7) {
      EXPECT_EQ(status, -4);
      return;
    }
    ASSERT_EQ(status, 0) << K7Hlp_getLastError();
    EXPECT_EQ(raw.d.param[K7Hlp_paramCamMode].value, static_cast<int32_t>(c.camMode));
    ASSERT_EQ(K7Hlp_extractSurface(&raw, K7Hlp_extractCentroid, nullptr, &surface, &amplitude, &phase), 0)
        << K7Hlp_getLastError();
    const bool window = c.camMode == 5;
    for (const auto& p : kPlanePixels) {
      EXPECT_NEAR(surface.F(p[0], p[1]), Depth(p[0], p[1]), window ? 0.01 : 0.0) << p[0] << "," << p[1];
      if (!window) {
        EXPECT_EQ(amplitude.F(p[0], p[1]), Amplitude(p[0], p[1]));
      }
    }
    EXPECT_NEAR(surface.F(kStepPixel[0], kStepPixel[1]), Depth(kStepPixel[0], kStepPixel[1]), 0.01);
    CheckGeometry();
    CheckCounterScaling();
  }

  void CheckGeometry() {
    const unsigned w = surface.d.dim[0], hgt = surface.d.dim[1];
    ASSERT_EQ(K7Hlp_flipX(&surface, &flipped), 0) << K7Hlp_getLastError();
    EXPECT_EQ(flipped.F(w - 1 - 10, 20), surface.F(10, 20));
    ASSERT_EQ(K7Hlp_flipY(&surface, &flipped), 0) << K7Hlp_getLastError();
    EXPECT_EQ(flipped.F(10, hgt - 1 - 20), surface.F(10, 20));
    // Leveling takes the tilt away: the plane comes out flat at its depth in
    // the corner, the step stays four frames above it.
    ASSERT_EQ(K7Hlp_leveling(&surface, &leveled, 0, nullptr), 0) << K7Hlp_getLastError();
    for (const auto& p : kPlanePixels) EXPECT_NEAR(leveled.F(p[0], p[1]), 8.0, 0.1) << p[0] << "," << p[1];
    EXPECT_NEAR(leveled.F(kStepPixel[0], kStepPixel[1]), 12.0, 0.1);
    ASSERT_EQ(K7Hlp_interpolateCross(&surface, &crossed, 0), 0) << K7Hlp_getLastError();
    EXPECT_GE(crossed.d.dim[0], w);
    EXPECT_GE(crossed.d.dim[1], hgt);
    for (unsigned y = 0; y < crossed.d.dim[1]; y += 37)
      for (unsigned x = 0; x < crossed.d.dim[0]; x += 13) ASSERT_TRUE(std::isfinite(crossed.F(x, y))) << x << "," << y;
  }

  // Counter scaling with one count per unit: the header's position counter
  // advances 250 counts per frame, so 32 columns (one frame) are 250 apart.
  void CheckCounterScaling() {
    uint32_t scale = 1000;
    testing::internal::CaptureStdout();
    int status = K7Hlp_scaleSurface(&surface, &scaled, K7Hlp_scaleCounter, &scale);
    std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0) << K7Hlp_getLastError();
    EXPECT_EQ(printed, "count direction: 1\n");
    EXPECT_NEAR(scaled.F(42, 10) - scaled.F(10, 10), 250.0, 1.0);
  }

  void* emulator = nullptr;
  int (*configure)(const char*, char*, size_t) = nullptr;
  orvex_test::TempDataFolder folder;
  orvex_test::CallbackRecorder recorder;
  orvex::SleepFunction previousSleep = nullptr;
  // Reused from frame to frame, as an application does.
  Record raw, surface, amplitude, phase, flipped, leveled, crossed, scaled;
};

TEST_F(PipelineTest, EveryModeAcquiresRecordsProcessesAndReplays) {
  QV_Handle camera = nullptr;
  ASSERT_EQ(QV_Open(&camera, QV_OPEN_USB, "sys=k7cam_tq20"), 1) << Messages();
  Set(camera, "AcqStop", 0);
  Set(camera, "TrigFreeExtN", 1);
  Set(camera, "SensNDarkFrames", kDarkFrames);
  Set(camera, "SensExpRatio", kExposureRatio);
  const std::string path = folder.ScratchPath("session.qv");
  ASSERT_EQ(QV_CreateStreamFile(camera, path.c_str()), 0) << Messages();

  std::vector<uint64_t> acquired;
  for (const Case& c : kCases) {
    Configure(camera, c);
    const int32_t bytes = QV_Acquire(camera);
    ASSERT_GT(bytes, 0) << "CamMode " << c.camMode << "\n" << Messages();
    acquired.push_back(Fnv1a(QV_GetCamData(camera, 0, 0, nullptr)->data, bytes));
    ProcessAndExtract(camera, c);
  }
  ASSERT_EQ(QV_CreateStreamFile(camera, nullptr), 0);
  // CamMode 6 is no data mode: the sensor sends nothing.
  Set(camera, "CamMode", 6);
  EXPECT_LE(QV_Acquire(camera), 0);
  ASSERT_EQ(QV_Close(camera), 0);

  QV_Handle replay = nullptr;
  ASSERT_EQ(QV_Open(&replay, QV_OPEN_STREAM, path.c_str()), 1) << Messages();
  // Replay reads the recorded register writes over without applying them: the
  // application sets each acquisition's mode on the replaying system itself.
  for (size_t played = 0; played < kCaseCount; ++played) {
    const Case& c = kCases[played];
    Configure(replay, c);
    const int32_t bytes = QV_Acquire(replay);
    ASSERT_GT(bytes, 0) << played << "\n" << Messages();
    EXPECT_EQ(Fnv1a(QV_GetCamData(replay, 0, 0, nullptr)->data, bytes), acquired[played]) << played;
    ProcessAndExtract(replay, c);
  }
  EXPECT_EQ(QV_Acquire(replay), -2) << Messages();
  EXPECT_EQ(QV_Close(replay), 0);
}

// Refusals on the way must not leave anything behind either: a stream that is
// cut short, processing before an acquisition, surfaces of a closed system.
TEST_F(PipelineTest, RefusalsLeaveNothingBehind) {
  QV_Handle camera = nullptr;
  ASSERT_EQ(QV_Open(&camera, QV_OPEN_USB, "sys=k7cam_tq20"), 1) << Messages();
  Set(camera, "AcqStop", 0);
  Set(camera, "TrigFreeExtN", 1);
  Configure(camera, kCases[6]);
  ASSERT_NE(QV_AllocCamData(camera, 1, 5, 0, nullptr, 0), nullptr);
  EXPECT_EQ(QV_ProcessCamData(camera, 1, 0, nullptr), nullptr) << "nothing acquired yet";

  const std::string path = folder.ScratchPath("cut.qv");
  ASSERT_EQ(QV_CreateStreamFile(camera, path.c_str()), 0);
  ASSERT_GT(QV_Acquire(camera), 0);
  ASSERT_GT(QV_Acquire(camera), 0);
  ASSERT_EQ(QV_CreateStreamFile(camera, nullptr), 0);
  _CamDataMeta meta{};
  ASSERT_NE(QV_ProcessCamData(camera, 1, 0, nullptr), nullptr);
  _CamData* processed = QV_GetCamData(camera, 1, 0, &meta);
  void* header = QV_GetCamData(camera, 0, 0, nullptr)->data;
  EXPECT_EQ(K7Hlp_assignRawData(nullptr, header, &meta, processed, &raw), -1) << "no system";
  ASSERT_EQ(QV_Close(camera), 0);

  // Half of the second acquisition is gone: one replays, then the end.
  std::vector<char> bytes;
  {
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size() - 200000, f);
    std::fclose(f);
  }
  QV_Handle replay = nullptr;
  ASSERT_EQ(QV_Open(&replay, QV_OPEN_STREAM, path.c_str()), 1) << Messages();
  EXPECT_GT(QV_Acquire(replay), 0);
  EXPECT_LT(QV_Acquire(replay), 0);
  EXPECT_EQ(QV_Close(replay), 0);
}

}  // namespace
