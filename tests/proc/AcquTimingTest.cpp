#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSystem.h"
#include "acq/AcquTiming.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"

using namespace orvex;
using orvex_test::CallbackRecorder;
using orvex_test::FakeSystem;
using orvex_test::MapSpec;

namespace {

const std::vector<MapSpec> kAllMaps = {{"SensTqp", 1, 2},  {"SensNavM2", 3, 1},      {"BSEnable", 4, 1},
                                       {"CalDur1Cyc", 5, 1}, {"SensOffCompDur", 6, 2}};

std::vector<MapSpec> Without(const std::string& name) {
  std::vector<MapSpec> maps;
  for (const auto& m : kAllMaps)
    if (m.name != name) maps.push_back(m);
  return maps;
}

constexpr const char* kMissing = "QV_AcquTiming missing map register.";

class AcquTimingTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseAllSystems(); }
  CallbackRecorder quiet;  // keeps expected warnings off the console
};

}  // namespace

TEST(TimingConversionTest, UnreachableRequestsAreLimited) {
  EXPECT_EQ(Nearest(-0.7f), 0u);
  EXPECT_EQ(Nearest(1e20f), UINT32_MAX) << "no undefined float-to-integer conversion";
  EXPECT_EQ(SensTqpForPeriod(1000), 0u) << "shorter than the 30-step offset";
  EXPECT_EQ(SensTqpForPeriod(0), 0u);
  EXPECT_EQ(SensNavM2ForPeriods(15000, 10000), 0u) << "ratio 1 would wrap";
  EXPECT_EQ(SensNavM2ForPeriods(0, 10000), 0u);
  EXPECT_EQ(SensNavM2ForPeriods(1000, 0), 0u);
}

TEST_F(AcquTimingTest, ReadsTheRecordFromTheMaps) {
  FakeSystem system(kAllMaps);
  QV_AcquTiming t{1, 2, 3};
  EXPECT_EQ(QV_UpdateAcquTiming(system.handle(), &t, 2), 0);
  EXPECT_EQ(t.demodPeriod, 3429u);
  EXPECT_EQ(t.calDuration, 0u);
  EXPECT_EQ(t.framePeriod, 6858u);

  system.SetMap("SensNavM2", 4);
  system.SetMap("BSEnable", 1);
  system.SetMap("CalDur1Cyc", 1);
  ASSERT_EQ(QV_UpdateAcquTiming(system.handle(), &t, 2), 0);
  EXPECT_EQ(t.calDuration, 3429u);
  EXPECT_EQ(t.framePeriod, 3429u * 11) << "one more cycle for calibration";

  system.SetMap("CalDur1Cyc", 0);
  system.SetMap("SensOffCompDur", 35);
  ASSERT_EQ(QV_UpdateAcquTiming(system.handle(), &t, 2), 0);
  EXPECT_EQ(t.calDuration, 1000u);
  EXPECT_EQ(t.framePeriod, 3429u * 10 + 1000);
}

TEST_F(AcquTimingTest, SetsTheMapsAndReadsBackInOneCall) {
  FakeSystem system(kAllMaps);
  QV_AcquTiming t{10000, 0, 100000};
  ASSERT_EQ(QV_UpdateAcquTiming(system.handle(), &t, 1), 0);
  EXPECT_EQ(system.GetMap("SensTqp"), 58u);
  EXPECT_EQ(system.GetMap("SensNavM2"), 4u);
  EXPECT_EQ(t.demodPeriod, 10000u) << "setting alone leaves the record";
  ASSERT_EQ(QV_UpdateAcquTiming(system.handle(), &t, 2), 0);
  EXPECT_EQ(t.framePeriod, t.demodPeriod * 10);

  t = {100005, 7, 500005};
  ASSERT_EQ(QV_UpdateAcquTiming(system.handle(), &t, 3), 0);
  EXPECT_EQ(system.GetMap("SensTqp"), 845u);
  EXPECT_EQ(system.GetMap("SensNavM2"), 1u);
  EXPECT_EQ(t.demodPeriod, 100000u);
  EXPECT_EQ(t.calDuration, 0u);
  EXPECT_EQ(t.framePeriod, 400000u);
}

TEST_F(AcquTimingTest, EachMissingMapHasItsResultAndMessage) {
  struct Case {
    std::string missing;
    int32_t result;
  };
  for (const Case& c : {Case{"SensTqp", -1}, Case{"SensNavM2", -1}, Case{"BSEnable", -2}, Case{"CalDur1Cyc", -3},
                        Case{"SensOffCompDur", -4}}) {
    SCOPED_TRACE(c.missing);
    FakeSystem system(Without(c.missing));
    system.SetMap("BSEnable", 1);
    QV_AcquTiming t{0, 77, 77};
    CallbackRecorder recorder;
    EXPECT_EQ(QV_UpdateAcquTiming(system.handle(), &t, 2), c.result);
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0].handle, nullptr);
    EXPECT_TRUE(recorder.contains(1, 2, kMissing));
    if (c.result < -1) {
      EXPECT_EQ(t.demodPeriod, 3429u) << "stored before the failing look-up";
      EXPECT_EQ(t.calDuration, 77u);
    } else {
      EXPECT_EQ(t.demodPeriod, 0u);
    }
    CloseAllSystems();
  }
  // The first two maps are needed even when nothing is asked for.
  FakeSystem system(Without("SensNavM2"));
  EXPECT_EQ(QV_UpdateAcquTiming(system.handle(), nullptr, 0), -1);
}

TEST_F(AcquTimingTest, SettingWritesBeforeALaterLookUpFails) {
  FakeSystem system(Without("BSEnable"));
  QV_AcquTiming t{10000, 0, 100000};
  EXPECT_EQ(QV_UpdateAcquTiming(system.handle(), &t, 3), -2);
  EXPECT_EQ(system.GetMap("SensTqp"), 58u);
  EXPECT_EQ(system.GetMap("SensNavM2"), 4u);
}

TEST_F(AcquTimingTest, ZeroPeriodIsRefusedAndShortFramesAreLimited) {
  FakeSystem system(kAllMaps);
  system.SetMap("SensTqp", 200);
  system.SetMap("SensNavM2", 9);
  QV_AcquTiming t{0, 0, 100000};
  CallbackRecorder recorder;
  EXPECT_EQ(QV_UpdateAcquTiming(system.handle(), &t, 3), -5);
  EXPECT_EQ(system.GetMap("SensTqp"), 200u);
  EXPECT_EQ(system.GetMap("SensNavM2"), 9u);
  EXPECT_EQ(recorder.count(1), 1u);

  t = {10000, 0, 5000};
  EXPECT_EQ(QV_UpdateAcquTiming(system.handle(), &t, 3), 0);
  EXPECT_EQ(system.GetMap("SensNavM2"), 0u);
  EXPECT_EQ(t.framePeriod, 2 * t.demodPeriod) << "the shortest frame: two cycles";

  EXPECT_EQ(QV_UpdateAcquTiming(system.handle(), nullptr, 2), -1);
  EXPECT_EQ(QV_UpdateAcquTiming(system.handle(), nullptr, 0), 0);
}

TEST_F(AcquTimingTest, IllegalHandle) {
  CallbackRecorder recorder;
  QV_AcquTiming t{};
  EXPECT_EQ(QV_UpdateAcquTiming(nullptr, &t, 2), -1);
  EXPECT_TRUE(recorder.contains(1, 0x503, "Illegal Handle!"));
}
