#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LvTestSupport.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"

namespace {

using lvtest::Array;
using orvex_test::CallbackRecorder;

constexpr uint16_t kProcessed = 0;
constexpr uint16_t kRaw = QV_CD_USB_PADDED | QV_CD_HEADER;

class LvAcquireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lvtest::UseStandIn();
    system_ = description_.Open();
  }
  void TearDown() override {
    lvtest::UseStandIn();
    orvex::CloseAllSystems();
  }
  void Set(const char* attributes) { ASSERT_GT(LV_SetAttrib(system_, 0, attributes), 0) << attributes; }
  int32_t Acquire(uint32_t mode, uint16_t flags) {
    return LV_Acquire(system_, mode, flags, data_.get(), header_.get(), &info_);
  }
  _CamData* Slot(size_t slot) {
    auto& slots = system_->camera->slots;
    return slot < slots.size() ? slots[slot] : nullptr;
  }

  lvtest::TestDescription description_;
  QV_Handle system_ = nullptr;
  Array data_, header_;
  LV_AcquireInfo info_{};
};

TEST_F(LvAcquireTest, ProcessedModeOneGivesFourDimensionsOutermostFirst) {
  Set("CamMode=0 SensNFrames=2");
  const int32_t rawSize = ((2 * 360000 + 2048) + 512) & ~511;
  ASSERT_EQ(Acquire(1, kProcessed), rawSize);
  EXPECT_EQ(data_.Extents(4), (std::vector<int32_t>{2, 300, 300, 2}));
  EXPECT_EQ(info_.numDim, 4u);
  EXPECT_EQ(info_.typeCode, uint32_t{LV_TYPE_U16});
  EXPECT_EQ(info_.dataSize, 720000u);
  EXPECT_EQ(info_.handleSize, 16u + 720000u);

  _CamData* processed = Slot(1);
  ASSERT_NE(processed, nullptr);
  EXPECT_EQ(processed->data, data_.Elements<uint16_t>(4));
  EXPECT_EQ(processed->flags, QV_CD_EXTERNAL);
  EXPECT_EQ(processed->size, 720000u);
  // The test pattern behind the header is FFFF x 4, then each word's index;
  // regrouping puts frame 0 of the first pixel group first, frame 1 at 180000.
  const uint16_t* words = data_.Elements<uint16_t>(4);
  EXPECT_EQ(std::vector<uint16_t>(words, words + 6), (std::vector<uint16_t>{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 4, 5}));
  EXPECT_EQ(std::vector<uint16_t>(words + 180000, words + 180006), (std::vector<uint16_t>{6, 7, 8, 9, 10, 11}));

  EXPECT_EQ(header_.Extents(1), (std::vector<int32_t>{1024}));
  const uint16_t* header = header_.Elements<uint16_t>(1);
  for (uint16_t i : {0, 1, 511, 1023}) EXPECT_LT(static_cast<uint16_t>(header[i] - (i << 4)), 256) << i;
  ASSERT_NE(Slot(0), nullptr);
  EXPECT_FALSE(Slot(0)->flags & QV_CD_EXTERNAL) << "the raw acquisition keeps a buffer of its own";
}

TEST_F(LvAcquireTest, RawOutputIsReadStraightIntoTheArray) {
  Set("CamMode=0 SensNFrames=1");
  const uint32_t rawSize = ((360000 + 2048) + 512) & ~511u;
  ASSERT_EQ(Acquire(1, kRaw), static_cast<int32_t>(rawSize));
  EXPECT_EQ(data_.Extents(1), (std::vector<int32_t>{static_cast<int32_t>(rawSize / 2)}));
  EXPECT_EQ(info_.numDim, 1u);
  EXPECT_EQ(info_.dataSize, rawSize);
  _CamData* raw = Slot(0);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->data, data_.Elements<uint16_t>(1));
  EXPECT_EQ(raw->flags, kRaw | QV_CD_EXTERNAL);
  const uint16_t* words = data_.Elements<uint16_t>(1);
  EXPECT_EQ(words[1024], 0xFFFF);
  EXPECT_EQ(words[1028], 4);
  EXPECT_EQ(words[rawSize / 2 - 1], static_cast<uint16_t>(rawSize / 2 - 1 - 1024));
  EXPECT_EQ(header_.BlockSize(), 0) << "raw output leaves the header array alone";
}

TEST_F(LvAcquireTest, ElementTypesFollowTheDataMode) {
  Set("CamMode=1 Comp11to8=1 SensNFrames=3");
  ASSERT_GT(Acquire(4, kProcessed), 0);
  EXPECT_EQ(info_.typeCode, uint32_t{LV_TYPE_U8});
  EXPECT_EQ(data_.Extents(3), (std::vector<int32_t>{3, 292, 282}));
  EXPECT_EQ(data_.BlockSize(), 12 + 3 * 82344);
  Set("CamMode=3 SensNFrames=6 SensNDarkFrames=2");
  ASSERT_GT(Acquire(7, kProcessed), 0);
  EXPECT_EQ(info_.typeCode, uint32_t{LV_TYPE_F32});
  EXPECT_EQ(data_.Extents(3), (std::vector<int32_t>{3, 300, 300})) << "N - D - 1 planes";
  EXPECT_EQ(data_.BlockSize(), 12 + 6 * 360000) << "room for every plane processing writes";
}

TEST_F(LvAcquireTest, ModesWithoutDataAreIllegalFormatsAndReadNothing) {
  Set("CamMode=0 SensNFrames=2");
  for (uint32_t mode : {0u, 2u, 8u, 9u, 12u}) {
    CallbackRecorder recorder;
    EXPECT_EQ(Acquire(mode, kProcessed), -1) << mode;
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"LV_Acquire: illegal format"})) << mode;
  }
  EXPECT_EQ(data_.BlockSize(), 0);
  EXPECT_TRUE(system_->camera->slots.empty());
}

TEST_F(LvAcquireTest, ResizeFailuresStopBeforeOrAfterTheCameraIsRead) {
  Set("CamMode=0 SensNFrames=1");
  struct Case { uint16_t flags; int successes; const char* text; bool acquired; };
  for (const Case& c : {Case{kRaw, 0, "LV_Acquire: NumericArrayResize(1) failed", false},
                        Case{kProcessed, 0, "LV_Acquire: NumericArrayResize(2) failed", false},
                        Case{kProcessed, 1, "LV_Acquire: NumericArrayResize(3) failed", true}}) {
    lvtest::Runtime().failResizesAfter(c.successes);
    CallbackRecorder recorder;
    EXPECT_EQ(Acquire(1, c.flags), -1) << c.text;
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{c.text}));
    EXPECT_EQ(Slot(0) != nullptr, c.acquired) << c.text;
  }
  EXPECT_EQ(data_.Elements<uint16_t>(4)[0], 0) << "nothing processed without the header";
}

TEST_F(LvAcquireTest, OneArrayForDataAndHeaderIsRefusedBeforeTheCameraIsRead) {
  Set("CamMode=0 SensNFrames=1");
  CallbackRecorder recorder;
  EXPECT_EQ(LV_Acquire(system_, 1, kProcessed, data_.get(), data_.get(), &info_), -1);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"LV_Acquire: NumericArrayResize(3) failed"}));
  EXPECT_TRUE(system_->camera->slots.empty());
  EXPECT_GT(LV_Acquire(system_, 1, kRaw, data_.get(), data_.get(), &info_), 0) << "raw output leaves the header alone";
}

TEST_F(LvAcquireTest, TooSmallHandleStopsBeforeTheCameraIsRead) {
  Set("CamMode=0 SensNFrames=1");
  lvtest::Runtime().shortenHandleSizes(32);  // the block then holds fewer bytes than the data
  CallbackRecorder recorder;
  EXPECT_EQ(Acquire(1, kProcessed), -1);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"LV_Acquire: szHdlData<szData"}));
  EXPECT_EQ(info_.handleSize, 360000u + 16u - 32u);
  EXPECT_TRUE(system_->camera->slots.empty()) << "no record points into an array that failed the check";
}

TEST_F(LvAcquireTest, FailedAcquisitionIsReportedWithItsResult) {
  Set("CamMode=0 SensNFrames=1");
  CallbackRecorder recorder;
  // The camera delivers data mode 1, the array was sized for mode 3.
  EXPECT_EQ(Acquire(3, kRaw), -1);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"LV_Acquire: QV_Acquire failed"}));
}

TEST_F(LvAcquireTest, ReusedRecordDescribesTheArrayOfTheLatestCall) {
  Set("CamMode=0 SensNFrames=1");
  ASSERT_GT(Acquire(1, kRaw), 0);
  _CamData* first = Slot(0);
  Set("SensNFrames=3");
  ASSERT_EQ(Acquire(1, kRaw), ((3 * 360000 + 2048) + 512) & ~511) << "grown without a stale size";
  EXPECT_EQ(Slot(0), first);
  EXPECT_EQ(first->data, data_.Elements<uint16_t>(1));
  // A smaller element type for the same camera mode: the record follows the
  // array, so the acquisition refuses instead of overrunning it.
  CallbackRecorder recorder;
  EXPECT_EQ(Acquire(4, kRaw), -1);
  EXPECT_EQ(first->mode, 4u);
  EXPECT_EQ(first->size, info_.dataSize);
}

TEST_F(LvAcquireTest, ProcessedOutputAfterRawDoesNotUseTheOldArray) {
  Set("CamMode=0 SensNFrames=1");
  {
    Array rawArray;
    ASSERT_GT(LV_Acquire(system_, 1, kRaw, rawArray.get(), header_.get(), &info_), 0);
  }
  ASSERT_GT(Acquire(1, kProcessed), 0);
  ASSERT_NE(Slot(0), nullptr);
  EXPECT_FALSE(Slot(0)->flags & QV_CD_EXTERNAL);
}

TEST_F(LvAcquireTest, ProcessedWindowModeIsAlwaysTheExpandedLayout) {
  Set("CamMode=5 ExSimpMaxHwin=0");
  ASSERT_GT(Acquire(6, QV_CD_COMPACT), 0);
  EXPECT_EQ(info_.dataSize, 490560u);
  EXPECT_EQ(data_.Extents(4), (std::vector<int32_t>{292, 280, 1, 3}));
  EXPECT_EQ(Slot(1)->flags, QV_CD_EXTERNAL);
}

TEST_F(LvAcquireTest, BadHandleAndMissingInfoRecord) {
  CallbackRecorder recorder;
  int never = 0;
  EXPECT_EQ(LV_Acquire(reinterpret_cast<QV_Handle>(&never), 1, 0, data_.get(), header_.get(), &info_), -1);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"Illegal Handle!"}));
  Set("CamMode=0 SensNFrames=1");
  EXPECT_GT(LV_Acquire(system_, 1, 0, data_.get(), header_.get(), nullptr), 0);
}

}  // namespace
