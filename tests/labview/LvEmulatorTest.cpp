// LV_Acquire end to end: the shipped data folder, the emulated camera on USB,
// and a stream recorded from it and replayed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "LvTestSupport.h"
#include "acq/StreamOpen.h"
#include "api/Factory.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "platform/Sleep.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"

namespace {

using lvtest::Array;
using orvex_test::CallbackRecorder;

constexpr uint16_t kProcessed = 0;
constexpr uint16_t kRaw = QV_CD_USB_PADDED | QV_CD_HEADER | QV_CD_COMPACT;
constexpr uint32_t kFrames = 4;
constexpr uint32_t kRawSize = ((kFrames * 360000 + 2048) + 512) & ~511u;

class LvEmulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lvtest::UseStandIn();
    folder_.CopyShippedData();
    // Re-enumeration and FPGA waits pass at once against the emulator.
    previousSleep_ = orvex::ReplaceSleepFunction([](uint32_t) {});
    ASSERT_EQ(LV_Init(), 0);
  }
  void TearDown() override {
    orvex::CloseAllSystems();
    orvex::ReplaceSleepFunction(previousSleep_);
    QV_SetCallback(nullptr);
  }

  // The error cluster's source for this system, or "" when nothing is stored.
  std::string Errors(QV_Handle handle) {
    Array source;
    LV_ErrorCluster error{0, 0, reinterpret_cast<LV_StringHandle>(source.get())};
    EXPECT_EQ(LV_ErrHandling(&error, handle, nullptr), 0);
    return error.status ? lvtest::SourceText(error) : "";
  }

  QV_Handle OpenCamera() {
    QV_Handle handle = nullptr;
    if (QV_Open(&handle, QV_OPEN_USB, "sys=k7cam_tq20") != 1) {
      ADD_FAILURE() << "no camera: " << Errors(nullptr);
      return nullptr;
    }
    EXPECT_EQ(LV_SetAttrib(handle, 0, "CamMode=0 SensNFrames=4"), 2);
    return handle;
  }
  // The replay part of QV_Open (mode 1).
  QV_Handle OpenStream(const std::string& path) {
    CPelSys* system = orvex::OpenSystemOnStream(path.c_str(), &CFactory::BuildSystem);
    if (!system) ADD_FAILURE() << "no replay: " << Errors(nullptr);
    return system;
  }

  int32_t Acquire(QV_Handle handle, uint16_t flags) {
    return LV_Acquire(handle, 1, flags, data_.get(), header_.get(), &info_);
  }

  orvex_test::TempDataFolder folder_;
  orvex::SleepFunction previousSleep_ = nullptr;
  Array data_, header_;
  LV_AcquireInfo info_{};
};

TEST_F(LvEmulatorTest, ProcessedAndRawAcquisitionsFromTheCamera) {
  QV_Handle camera = OpenCamera();
  ASSERT_NE(camera, nullptr);

  ASSERT_EQ(Acquire(camera, kProcessed), static_cast<int32_t>(kRawSize)) << Errors(camera);
  EXPECT_EQ(data_.Extents(4), (std::vector<int32_t>{4, 300, 300, 2}));
  EXPECT_EQ(info_.dataSize, kFrames * 360000);
  CamDataHdr header;
  std::memcpy(&header, header_.Elements<uint16_t>(1), sizeof header);
  EXPECT_EQ(header.nFrames, kFrames) << "the camera's own frame header";
  _CamData* raw = QV_GetCamData(camera, 0, 0, nullptr);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(std::memcmp(raw->data, header_.Elements<uint16_t>(1), 2048), 0);
  // Frame 0 of the first pixel group is the first element behind the header.
  EXPECT_EQ(std::memcmp(static_cast<uint8_t*>(raw->data) + 2048, data_.Elements<uint16_t>(4), 12), 0);
  // The whole array equals the library's own processing of the same frames.
  ASSERT_NE(QV_AllocCamData(camera, 2, 1, 0, nullptr, 0), nullptr);
  _CamData* own = QV_ProcessCamData(camera, 2, 0, nullptr);
  ASSERT_NE(own, nullptr);
  ASSERT_EQ(own->size, info_.dataSize);
  EXPECT_EQ(std::memcmp(own->data, data_.Elements<uint16_t>(4), own->size), 0);

  Array rawData;
  ASSERT_EQ(LV_Acquire(camera, 1, kRaw, rawData.get(), header_.get(), &info_), static_cast<int32_t>(kRawSize));
  EXPECT_EQ(rawData.Extents(1), (std::vector<int32_t>{static_cast<int32_t>(kRawSize / 2)}));
  std::memcpy(&header, rawData.Elements<uint16_t>(1), sizeof header);
  EXPECT_EQ(header.nFrames, kFrames) << "read straight into the LabVIEW array";
  EXPECT_EQ(Errors(camera), "");
}

TEST_F(LvEmulatorTest, AcquisitionInAnotherModeThanTheCameraIsRefused) {
  QV_Handle camera = OpenCamera();
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(LV_Acquire(camera, 3, kRaw, data_.get(), header_.get(), &info_), -1);
  EXPECT_EQ(Errors(camera), "LV_Acquire: QV_Acquire failed\n");
  EXPECT_EQ(LV_Acquire(camera, 2, kProcessed, data_.get(), header_.get(), &info_), -1);
  EXPECT_EQ(Errors(camera), "LV_Acquire: illegal format\n");
}

TEST_F(LvEmulatorTest, ReplayedStreamDeliversTheRecordedAcquisitions) {
  QV_Handle camera = OpenCamera();
  ASSERT_NE(camera, nullptr);
  std::string path = folder_.ScratchPath("lv.qv");
  ASSERT_EQ(QV_CreateStreamFile(camera, path.c_str()), 0);
  std::vector<std::vector<uint8_t>> recorded;
  for (int i = 0; i < 2; ++i) {
    Array rawData;
    ASSERT_EQ(LV_Acquire(camera, 1, kRaw, rawData.get(), header_.get(), &info_), static_cast<int32_t>(kRawSize));
    auto* bytes = rawData.Elements<uint8_t>(1);
    recorded.emplace_back(bytes, bytes + kRawSize);
  }
  ASSERT_EQ(QV_CreateStreamFile(camera, nullptr), 0);
  ASSERT_EQ(QV_Close(camera), 0);

  QV_Handle replay = OpenStream(path);
  ASSERT_NE(replay, nullptr);
  EXPECT_EQ(LV_GetAttrib(replay, 0, "SensNFrames"), 4) << "settings come with the stream";
  ASSERT_EQ(Acquire(replay, kRaw), static_cast<int32_t>(kRawSize));
  EXPECT_EQ(std::memcmp(data_.Elements<uint8_t>(1), recorded[0].data(), kRawSize), 0);
  Array processed;
  ASSERT_EQ(LV_Acquire(replay, 1, kProcessed, processed.get(), header_.get(), &info_), static_cast<int32_t>(kRawSize));
  EXPECT_EQ(std::memcmp(header_.Elements<uint8_t>(1), recorded[1].data(), 2048), 0);
  EXPECT_EQ(std::memcmp(processed.Elements<uint8_t>(4), recorded[1].data() + 2048, 12), 0);
  EXPECT_EQ(Errors(replay), "");
}

}  // namespace
