// The whole chain against the emulated camera: open, acquire, process, assign,
// extract, interpolate, level and scale, compared with the scene's ground truth
// (docs/emulator-scene.md): depth Z32 / 32 frames with Z32 = 256 + x + y / 2,
// plus 4 frames on the step 96 <= x, y < 192; amplitude 500, 1000 on the step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "K7Hlp.h"
#include "Orvex.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"
#include "desc/NameLookup.h"
#include "platform/Sleep.h"
#include "TestRecords.h"

using k7hlp_test::Record;

namespace {

constexpr uint32_t kW = 280, kH = 292;
constexpr uint16_t kFrames = 64;
constexpr uint8_t kRegHalfWindow = 0x1D;

bool OnStep(uint32_t x, uint32_t y) { return x >= 96 && x < 192 && y >= 96 && y < 192; }
double Depth(uint32_t x, uint32_t y) { return (256.0 + x + y / 2 + (OnStep(x, y) ? 128 : 0)) / 32.0; }
double Amplitude(uint32_t x, uint32_t y) { return OnStep(x, y) ? 1000.0 : 500.0; }

class K7HlpEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("LD_LIBRARY_PATH");
    if (!path || std::string(path).find(ORVEX_EMULATOR_DIR) == std::string::npos)
      GTEST_SKIP() << "needs the emulator first in LD_LIBRARY_PATH (ctest sets it)";
    previousSleep_ = orvex::ReplaceSleepFunction([](uint32_t) {});
    folder_.CopyShippedData();
    ASSERT_EQ(1, QV_Open(&handle_, QV_OPEN_USB, "sys=k7cam_tq20")) << testing::PrintToString(recorder_.texts());
    ASSERT_EQ(0, SetMap("SensNFrames", kFrames));
  }
  void TearDown() override {
    orvex::CloseAllSystems();
    orvex::ReplaceSleepFunction(previousSleep_);
  }

  int32_t SetMap(const char* name, uint32_t value) {
    _Map* map = orvex::FindMap(QV_GetRegDesc(handle_), name);
    return map ? QV_SetMap(handle_, map, value) : -100;
  }

  // One acquisition processed into slot 1 and assigned to raw.
  void AcquireInto(uint32_t dataMode, uint16_t flags, Record& raw) {
    ASSERT_GE(QV_Acquire(handle_), 0);
    _CamData* acquisition = QV_GetCamData(handle_, 0, 0, nullptr);
    ASSERT_NE(acquisition, nullptr);
    ASSERT_NE(QV_AllocCamData(handle_, 1, dataMode, flags, nullptr, 0), nullptr);
    ASSERT_NE(QV_ProcessCamData(handle_, 1, 0, nullptr), nullptr);
    _CamDataMeta meta{};
    _CamData* processed = QV_GetCamData(handle_, 1, 0, &meta);
    ASSERT_NE(processed, nullptr);
    ASSERT_EQ(K7Hlp_assignRawData(handle_, acquisition->data, &meta, processed, raw.get()), 0)
        << K7Hlp_getLastError();
  }

  void AcquireWindow(Record& raw, uint8_t halfWindow) {
    ASSERT_EQ(0, SetMap("CamMode", 5));
    ASSERT_EQ(0, QV_SetReg(handle_, kRegHalfWindow, halfWindow));
    AcquireInto(6, 0, raw);
  }

  // Largest deviation of the surface from depth + offset over the sensor grid.
  static double WorstDepthError(const Record& surface, double offset) {
    double worst = 0;
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) worst = std::max(worst, std::fabs(surface.at(x, y) - (Depth(x, y) + offset)));
    return worst;
  }

  orvex_test::TempDataFolder folder_;
  orvex_test::CallbackRecorder recorder_;
  orvex::SleepFunction previousSleep_ = nullptr;
  QV_Handle handle_ = nullptr;
};

}  // namespace

TEST_F(K7HlpEndToEndTest, A16Z16SurfaceAndAmplitudeAreTheGroundTruth) {
  ASSERT_EQ(0, SetMap("CamMode", 4));
  Record raw, surface, amplitude;
  AcquireInto(5, 0, raw);
  EXPECT_EQ(raw->param[0].value, 4);
  EXPECT_EQ(raw->param[1].value, kFrames);
  ASSERT_EQ(raw->dim[0], kW);
  ASSERT_EQ(raw->dim[1], kH);
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), K7Hlp_extractCentroid, nullptr, surface.get(), amplitude.get()), 0);
  EXPECT_EQ(WorstDepthError(surface, 0), 0.0) << "the surface words carry the depth exactly";
  for (uint32_t y = 0; y < kH; y += 7)
    for (uint32_t x = 0; x < kW; x += 5) ASSERT_EQ(amplitude.at(x, y), Amplitude(x, y));
}

TEST_F(K7HlpEndToEndTest, LevelingLeavesThePlaneAndTheStep) {
  ASSERT_EQ(0, SetMap("CamMode", 7));
  Record raw, surface, level;
  AcquireInto(5, 0, raw);
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), K7Hlp_extractCentroid, nullptr, surface.get()), 0);
  ASSERT_EQ(K7Hlp_leveling(surface.get(), level.get(), 0, nullptr), 0);
  // The tilt goes; what stays is the step and the half-row staircase of the scene
  // (it rises one 1/32 frame every second row, the leveled plane 1/64 per row).
  for (uint32_t y = 0; y < kH; ++y)
    for (uint32_t x = 0; x < kW; ++x)
      ASSERT_EQ(level.at(x, y), (OnStep(x, y) ? 12.0f : 8.0f) - (y % 2) / 64.0f) << x << "," << y;
}

TEST_F(K7HlpEndToEndTest, CounterAndTableScalingOfTheDepth) {
  ASSERT_EQ(0, SetMap("CamMode", 4));
  Record raw, surface, scaled;
  AcquireInto(5, 0, raw);
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), K7Hlp_extractCentroid, nullptr, surface.get()), 0);

  // The counter starts at 65000 and counts 250 per frame across its wrap-around:
  // frame centres at 64875 + 250 f.
  uint32_t countScale = 1000;
  testing::internal::CaptureStdout();
  ASSERT_EQ(K7Hlp_scaleSurface(surface.get(), scaled.get(), K7Hlp_scaleCounter, &countScale), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "count direction: 1\n");
  for (uint32_t y = 0; y < kH; y += 3)
    for (uint32_t x = 0; x < kW; x += 3) ASSERT_NEAR(scaled.at(x, y), 64875.0 + 250.0 * Depth(x, y), 0.02);

  // A table z = 3 x + 5 (stored negated in the file).
  std::string path = k7hlp_test::ScratchPath("e2e.ztag");
  {
    std::ofstream file(path);
    for (int x = 0; x <= 40; ++x) file << x << " " << -(3 * x + 5) << "\n";
  }
  testing::internal::CaptureStdout();
  ASSERT_EQ(K7Hlp_scaleSurface(surface.get(), scaled.get(), K7Hlp_scaleZTagFile, path.data()), 0);
  testing::internal::GetCapturedStdout();
  std::remove(path.c_str());
  for (uint32_t y = 0; y < kH; y += 3)
    for (uint32_t x = 0; x < kW; x += 3) ASSERT_NEAR(scaled.at(x, y), 3.0 * Depth(x, y) + 5.0, 1e-4);
}

TEST_F(K7HlpEndToEndTest, WindowModeMethodsFindTheDepth) {
  Record raw, surface, amplitude, phase;
  AcquireWindow(raw, 2);
  ASSERT_EQ(raw->dim[2], 5u);
  ASSERT_EQ(raw->dim[3], 3u);
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), K7Hlp_extractCentroid, nullptr, surface.get(), amplitude.get(),
                                 phase.get()),
            0);
  // The amplitude words are rounded to 1/16: the centroid stays within 0.002 frames.
  EXPECT_LT(WorstDepthError(surface, 0), 0.002);
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), K7Hlp_extractCentroidPhase, nullptr, surface.get()), 0);
  EXPECT_LT(WorstDepthError(surface, 0), 0.002) << "phase pi: no correction";

  // Middle frame: the whole frame nearest the depth, lock-in amplitude a sqrt(1 - |f - d| / 2).
  for (uint32_t y = 0; y < kH; y += 7) {
    for (uint32_t x = 0; x < kW; x += 5) {
      const double d = Depth(x, y), f = std::round(d);
      ASSERT_NEAR(amplitude.at(x, y), Amplitude(x, y) * std::sqrt(1 - std::fabs(f - d) / 2), 1.0 / 32);
      ASSERT_NEAR(phase.at(x, y), 25736.0 / 8192, 1e-6);
    }
  }

  // Where the amplitude falls through half its peak: 1.5 frames behind the depth
  // on the tent; interpolating the square-root tent linearly between whole
  // frames is off by up to a quarter frame.
  float threshold = 250.0f;
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), K7Hlp_extractThreshold, &threshold, surface.get()), 0);
  double worst = 0;
  for (uint32_t y = 0; y < kH; ++y)
    for (uint32_t x = 0; x < kW; ++x)
      if (!OnStep(x, y)) worst = std::max(worst, std::fabs(surface.at(x, y) - (Depth(x, y) + 1.5)));
  EXPECT_LT(worst, 0.25);
}

TEST_F(K7HlpEndToEndTest, WindowCrossMatchesTheWidenedA16Z16Layout) {
  Record raw, surface, cross;
  AcquireWindow(raw, 2);
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), K7Hlp_extractCentroid, nullptr, surface.get()), 0);
  ASSERT_EQ(K7Hlp_interpolateCross(surface.get(), cross.get(), 0), 0);
  ASSERT_EQ(cross->dim[0], kW + 1);
  ASSERT_EQ(cross->dim[1], kH + 1);
  for (uint32_t y = 0; y < kH; y += 3)
    for (uint32_t x = 0; x < kW; x += 3)
      ASSERT_EQ(cross.at(x + (x >= kW / 2), y + (y >= kH / 2)), surface.at(x, y));
  // Column 140 and row 146 are inserted; on the plane they lie halfway.
  EXPECT_NEAR(cross.at(140, 20), (Depth(139, 20) + Depth(140, 20)) / 2, 0.002);
  EXPECT_NEAR(cross.at(20, 146), (Depth(20, 145) + Depth(20, 146)) / 2, 0.002);

  Record a16z16, widened;
  ASSERT_EQ(0, SetMap("CamMode", 4));
  AcquireInto(5, QV_CD_CROSS, a16z16);
  ASSERT_EQ(K7Hlp_extractSurface(a16z16.get(), K7Hlp_extractCentroid, nullptr, widened.get()), 0);
  ASSERT_EQ(widened->dim[0], cross->dim[0]);
  ASSERT_EQ(widened->dim[1], cross->dim[1]);
  double worst = 0;
  for (uint32_t y = 0; y <= kH; ++y)
    for (uint32_t x = 0; x <= kW; ++x) worst = std::max(worst, double(std::fabs(cross.at(x, y) - widened.at(x, y))));
  EXPECT_LT(worst, 0.05) << "the same grid as processing gives A16Z16 data";
}
