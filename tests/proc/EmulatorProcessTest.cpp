// End to end: the library opens the emulated camera with the shipped
// descriptions, acquires in every camera mode, processes into slot 1, and the
// arrays are compared with the emulator's synthetic scene (docs/emulator-scene.md).
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <string>

#include "Orvex.h"
#include "api/Factory.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"
#include "desc/NameLookup.h"
#include "platform/Sleep.h"
#include "usb/OpenUsb.h"

namespace {

// The scene's ground truth.
bool OnStep(unsigned x, unsigned y) { return x >= 96 && x < 192 && y >= 96 && y < 192; }
uint32_t Depth32(unsigned x, unsigned y) { return 256 + x + y / 2 + (OnStep(x, y) ? 128 : 0); }
uint32_t Amplitude(unsigned x, unsigned y) { return OnStep(x, y) ? 1000 : 500; }
double FrameAmplitude(unsigned x, unsigned y, double frame) {
  double t = 1.0 - std::fabs(frame - Depth32(x, y) / 32.0) / 2.0;
  return Amplitude(x, y) * std::sqrt(t > 0 ? t : 0.0);
}

template <class T>
T At(const _CamData* record, size_t index) {
  T v;
  std::memcpy(&v, static_cast<const uint8_t*>(record->data) + index * sizeof(T), sizeof(T));
  return v;
}

// Loading the emulator by path first makes the library's own dlopen of
// "libusb-0.1.so.4" find it, whatever the library path says.
struct EmulatorControl {
  void* lib = dlopen(ORVEX_EMULATOR_DIR "/libusb-0.1.so.4", RTLD_NOW | RTLD_GLOBAL);
  int (*configure)(const char*, char*, size_t) =
      lib ? reinterpret_cast<int (*)(const char*, char*, size_t)>(dlsym(lib, "orvex_emu_configure")) : nullptr;
};

class EmulatorProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!emu.configure) GTEST_SKIP() << "emulator not built";
    folder.CopyShippedData();
    // The emulated controller re-enumerates at once; the waits need not pass.
    previousSleep = orvex::ReplaceSleepFunction(+[](uint32_t) {});
    char error[256] = {};
    ASSERT_EQ(emu.configure("fpga = configured\nregister = 2:4\n", error, sizeof error), 0) << error;
    std::string messages;
    if (QV_Open(&handle, QV_OPEN_USB, "sys=k7cam_tq20") != 1) handle = OpenStepByStep("sys=k7cam_tq20");
    for (const std::string& text : recorder.texts()) messages += text + "\n";
    ASSERT_NE(handle, nullptr) << messages;
  }
  void TearDown() override {
    if (handle) QV_Close(handle);
    if (emu.configure) emu.configure(nullptr, nullptr, 0);
    orvex::ReplaceSleepFunction(previousSleep);
  }

  // The steps of an open in mode 0, for a factory that does not connect USB
  // cameras yet.
  static QV_Handle OpenStepByStep(const char* openString) {
    CPelSys* system = CFactory::BuildSystem(openString);
    if (!system) return nullptr;
    if (!orvex::ConnectUsbCamera(*system, openString, QV_OPEN_USB) || system->camera->GetAllReg() < 0) {
      orvex::CloseSystem(system);
      return nullptr;
    }
    return system;
  }

  void Set(const char* name, uint32_t value) {
    _Map* map = orvex::FindMap(QV_GetRegDesc(handle), name);
    ASSERT_NE(map, nullptr) << name;
    ASSERT_EQ(QV_SetMap(handle, map, value), 0) << name;
  }

  // Acquires with the given settings and processes into a fresh slot-1 record.
  const _CamData* AcquireAndProcess(uint32_t camMode, uint32_t mode, uint16_t flags, _CamDataMeta* meta) {
    Set("CamMode", camMode);
    Set("AcqStop", 0);
    Set("TrigFreeExtN", 1);
    int32_t bytes = QV_Acquire(handle);
    EXPECT_GT(bytes, 0);
    if (bytes <= 0) return nullptr;
    EXPECT_NE(QV_AllocCamData(handle, 1, mode, flags, nullptr, 0), nullptr);
    const _CamData* result = QV_ProcessCamData(handle, 1, 0, nullptr);
    EXPECT_NE(result, nullptr);
    EXPECT_EQ(QV_GetCamData(handle, 1, 0, meta), result);
    return result;
  }

  EmulatorControl emu;
  orvex_test::CallbackRecorder recorder;
  orvex_test::TempDataFolder folder;
  QV_Handle handle = nullptr;
  orvex::SleepFunction previousSleep = nullptr;
};

}  // namespace

TEST_F(EmulatorProcessTest, A16Z16IsTheSceneAndTheCrossAveragesItsNeighbours) {
  _CamDataMeta meta{};
  const _CamData* plain = AcquireAndProcess(4, 5, 0, &meta);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(meta.numDim, 3);
  EXPECT_EQ(meta.dimSz[1], 280u);
  for (unsigned y = 0; y < 292; ++y)
    for (unsigned x = 0; x < 280; ++x) {
      uint32_t v = At<uint32_t>(plain, y * 280 + x);
      ASSERT_EQ(v & 0xFFFF, 16 * Amplitude(x, y)) << x << "," << y;
      ASSERT_EQ(v >> 16, Depth32(x, y)) << x << "," << y;
    }
  const _CamData* cross = AcquireAndProcess(7, 5, QV_CD_CROSS, &meta);
  ASSERT_NE(cross, nullptr);
  EXPECT_EQ(meta.dimSz[1], 281u);
  EXPECT_EQ(meta.dimSz[2], 293u);
  // Column 140 between source columns 139 and 140: depth 256 + 139.5 + y/2, floored.
  EXPECT_EQ(At<uint32_t>(cross, 10 * 281 + 140) >> 16, (Depth32(139, 10) + Depth32(140, 10)) / 2);
  EXPECT_EQ(At<uint32_t>(cross, 10 * 281 + 141) >> 16, Depth32(140, 10));
  EXPECT_EQ(At<uint32_t>(cross, 147 * 281 + 0) >> 16, Depth32(0, 146));
  EXPECT_EQ(At<uint32_t>(cross, 146 * 281 + 0) >> 16, (Depth32(0, 145) + Depth32(0, 146)) / 2);
}

TEST_F(EmulatorProcessTest, StackedModesRegroupIntoFrameImagesOfTheScene) {
  const uint32_t n = 12;
  Set("SensNFrames", n);
  _CamDataMeta meta{};
  const _CamData* a16 = AcquireAndProcess(1, 3, 0, &meta);
  ASSERT_NE(a16, nullptr);
  EXPECT_EQ(meta.dimSz[0], 282u);
  EXPECT_EQ(meta.dimSz[2], n);
  for (uint32_t f = 0; f < n; ++f)
    for (unsigned y = 0; y < 292; y += 7)
      for (unsigned x = 0; x < 282; ++x) {
        double expected = 16 * FrameAmplitude(x, y, f);
        ASSERT_NEAR(At<uint16_t>(a16, (f * 292 + y) * 282 + x), expected, 1.0) << f << ":" << x << "," << y;
      }

  Set("Comp11to8", 1);
  const _CamData* a8 = AcquireAndProcess(1, 4, 0, &meta);
  ASSERT_NE(a8, nullptr);
  for (uint32_t f = 0; f < n; ++f)
    for (unsigned y = 0; y < 292; y += 7)
      for (unsigned x = 0; x < 282; ++x) {
        double expected = std::min(255.0, std::floor(std::round(16 * FrameAmplitude(x, y, f)) / 64));
        ASSERT_NEAR(At<uint8_t>(a8, (f * 292 + y) * 282 + x), expected, 1.0) << f << ":" << x << "," << y;
      }

  const _CamData* iq = AcquireAndProcess(0, 1, 0, &meta);
  ASSERT_NE(iq, nullptr);
  EXPECT_EQ(meta.numDim, 4);
  EXPECT_EQ(meta.dimSz[3], n);
  const double pi = std::acos(-1.0);
  for (uint32_t f = 0; f < n; ++f)
    for (unsigned y = 0; y < 300; y += 7)
      for (unsigned x = 0; x < 300; ++x) {
        double depth = Depth32(x, y) / 32.0, phi = 2 * pi * (depth - std::floor(depth));
        double a = 16 * FrameAmplitude(x, y, f);
        uint32_t v = At<uint32_t>(iq, (f * 300 + y) * 300 + x);
        ASSERT_NEAR(v & 0xFFFF, 32768 + a * std::cos(phi), 1.0) << f << ":" << x << "," << y;
        ASSERT_NEAR(v >> 16, 32768 + a * std::sin(phi), 1.0) << f << ":" << x << "," << y;
      }
}

TEST_F(EmulatorProcessTest, WindowSamplesSitAroundTheSurface) {
  const uint32_t h = 3, w = 2 * h + 1;
  Set("ExSimpMaxHwin", h);
  _CamDataMeta meta{};
  const _CamData* window = AcquireAndProcess(5, 6, 0, &meta);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(meta.dimSz[0], 3u);
  EXPECT_EQ(meta.dimSz[1], w);
  for (unsigned y = 0; y < 292; y += 5)
    for (unsigned x = 0; x < 280; ++x) {
      const uint32_t start = 32 * static_cast<uint32_t>(std::lround(Depth32(x, y) / 32.0));
      for (uint32_t k = 0; k < w; ++k) {
        size_t at = ((size_t{y} * 280 + x) * w + k) * 3;
        ASSERT_EQ(At<uint16_t>(window, at), start - 32 * h + 32 * k) << x << "," << y << "," << k;
        double frame = start / 32.0 - h + k;
        ASSERT_NEAR(At<uint16_t>(window, at + 1), 16 * FrameAmplitude(x, y, frame), 1.0);
        ASSERT_EQ(At<uint16_t>(window, at + 2), 25736);
      }
    }
}

TEST_F(EmulatorProcessTest, IntensityPlanesAreDarkCorrectedAndScaledAboveThreshold) {
  const uint32_t n = 9, d = 3, ratio = 2, factor = 8;
  Set("SensNFrames", n);
  Set("SensNDarkFrames", d);
  Set("SensExpRatio", ratio);
  _CamDataMeta meta{};
  const _CamData* planes = AcquireAndProcess(3, 7, 0, &meta);
  ASSERT_NE(planes, nullptr);
  EXPECT_EQ(meta.dimSz[2], n - d - 1);
  for (unsigned y = 0; y < 300; y += 3)
    for (unsigned x = 0; x < 300; ++x) {
      const size_t pixel = y * 300 + x;
      const double light = Amplitude(x, y) / 4.0;  // I
      ASSERT_EQ(At<float>(planes, (n - 1) * 90000 + pixel), 100.0f) << "dark0";
      ASSERT_EQ(At<float>(planes, (n - 2) * 90000 + pixel), 50.0f) << "dark1";
      ASSERT_EQ(At<float>(planes, pixel), static_cast<float>(light));
      ASSERT_NEAR(At<float>(planes, 90000 + pixel), light / 8, 0.5);
      for (uint32_t j = 0; j + d + 4 <= n; ++j) {
        double first = light * (j + 1);
        float value = At<float>(planes, (2 + j) * 90000 + pixel);
        if (first > 300.0)
          ASSERT_NEAR(value, first / 8 * factor, 0.5 * factor) << x << "," << y << " plane " << 2 + j;
        else
          ASSERT_EQ(value, static_cast<float>(first)) << x << "," << y << " plane " << 2 + j;
      }
    }
}
