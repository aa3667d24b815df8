#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FakeSystem.h"
#include "acq/CamDataRecord.h"
#include "acq/DataMode.h"
#include "acq/ProcessCamData.h"
#include "acq/ProcessRoutines.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"

using namespace orvex;
using orvex_test::CallbackRecorder;
using orvex_test::FakeSystem;

namespace {

uint8_t* Bytes(_CamData* r) { return static_cast<uint8_t*>(r->data); }
uint8_t* Payload(_CamData* r) { return Bytes(r) + (r->flags & QV_CD_HEADER ? kFrameHeaderBytes : 0); }
uint32_t U32(const uint8_t* p, size_t i) {
  uint32_t v;
  std::memcpy(&v, p + 4 * i, 4);
  return v;
}
float F32(const uint8_t* p, size_t i) {
  float v;
  std::memcpy(&v, p + 4 * i, 4);
  return v;
}
void PutU32(uint8_t* p, size_t i, uint32_t v) { std::memcpy(p + 4 * i, &v, 4); }

// A raw acquisition record as the acquisition leaves it in slot 0, its payload
// counting up in elements of the given size.
_CamData* RawRecord(const AcqParams& params, uint32_t mode, size_t elementBytes) {
  uint16_t flags = RawAcquisitionFlags(mode);
  _CamData* r = CreateCamData(mode, flags, ComputeDataSize(params, mode, flags, nullptr), nullptr);
  uint8_t* p = Payload(r);
  size_t elements = (r->size - kFrameHeaderBytes) / elementBytes;
  for (size_t i = 0; i < elements; ++i) {
    uint32_t v = static_cast<uint32_t>(i * 2654435761u);
    std::memcpy(p + i * elementBytes, &v, elementBytes);
  }
  return r;
}

_CamData* Destination(const AcqParams& params, uint32_t mode, uint16_t flags) {
  _CamData* r = CreateCamData(mode, flags, ComputeDataSize(params, mode, flags, nullptr), nullptr);
  std::memset(r->data, 0xCD, r->size);
  return r;
}

std::vector<uint8_t> Snapshot(_CamData* r) { return {Bytes(r), Bytes(r) + r->size}; }

class ProcessCamDataTest : public ::testing::Test {
 protected:
  ProcessCamDataTest()
      : system({{"SensNFrames", 10, 2}, {"SensNDarkFrames", 12, 1}, {"SensExpRatio", 13, 1}, {"CamMode", 14, 1}},
               {{"ExSimpMaxHwin", 20}}) {}
  void TearDown() override { CloseAllSystems(); }
  AcqParams Params() { return ReadAcqParams(system.camera()); }
  CallbackRecorder quiet;  // keeps expected warnings off the console
  FakeSystem system;
};

}  // namespace

TEST_F(ProcessCamDataTest, IllegalHandleAndMissingRecordsGiveNull) {
  {
    CallbackRecorder recorder;
    int fake = 0;
    EXPECT_EQ(QV_ProcessCamData(reinterpret_cast<QV_Handle>(&fake), 1, 0, nullptr), nullptr);
    EXPECT_TRUE(recorder.contains(1, 0x503, "Illegal Handle!"));
  }
  QV_Handle h = system.handle();
  system.SetMap("SensNFrames", 2);
  EXPECT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), nullptr) << "no slots at all";
  system.PutRecord(1, Destination(Params(), 1, 0));
  EXPECT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), nullptr) << "no acquisition in slot 0";
  system.PutRecord(0, RawRecord(Params(), 1, 4));
  EXPECT_EQ(QV_ProcessCamData(h, 2, 0, nullptr), nullptr) << "slot beyond the array";
  EXPECT_EQ(QV_ProcessCamData(h, 1, 1, nullptr), nullptr) << "offset command without offsets";
}

TEST_F(ProcessCamDataTest, CommandsZeroAndFiveRegroupIntoTheSlotOthersDoNothing) {
  QV_Handle h = system.handle();
  system.SetMap("SensNFrames", 3);
  _CamData* src = system.PutRecord(0, RawRecord(Params(), 1, 4));
  _CamData* dst = system.PutRecord(1, Destination(Params(), 1, 0));
  auto before = Snapshot(dst);
  CallbackRecorder recorder;
  EXPECT_EQ(QV_ProcessCamData(h, 1, 7, nullptr), nullptr);
  EXPECT_EQ(QV_ProcessCamData(h, 1, 2, nullptr), nullptr);
  EXPECT_EQ(Snapshot(dst), before);
  for (uint32_t command : {0u, 5u}) {
    std::memset(dst->data, 0, dst->size);
    ASSERT_EQ(QV_ProcessCamData(h, 1, command, nullptr), dst);
    // Row 1, group 2, frame 2, element 1 is source element ((1 * 100 + 2) * 3 + 2) * 3 + 1.
    EXPECT_EQ(U32(Bytes(dst), (2 * 300 + 1) * 300 + 3 * 2 + 1), U32(Payload(src), ((1 * 100 + 2) * 3 + 2) * 3 + 1));
  }
  EXPECT_EQ(dst->size, 3u * 360000) << "records keep their size, mode and flags";
  EXPECT_EQ(dst->mode, 1u);
  EXPECT_EQ(recorder.count(1), 0u);
}

TEST_F(ProcessCamDataTest, ThreadSettingIsClampedAndALargeStackRegroupsTheSameOnTwoThreads) {
  QV_Handle h = system.handle();
  EXPECT_EQ(QV_SetProcessingThreads(h, 2), 1) << "one thread by default";
  EXPECT_EQ(QV_SetProcessingThreads(h, 100), 2);
  EXPECT_EQ(QV_SetProcessingThreads(h, 0), 16) << "capped";
  EXPECT_EQ(QV_SetProcessingThreads(h, 2), 1) << "0 means one thread";
  // 30 frames: 10.8 MB, above the size that gets a second thread.
  system.SetMap("SensNFrames", 30);
  _CamData* src = system.PutRecord(0, RawRecord(Params(), 1, 4));
  _CamData* dst = system.PutRecord(1, Destination(Params(), 1, 0));
  ASSERT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), dst);
  const auto twoThreads = Snapshot(dst);
  std::memset(dst->data, 0, dst->size);
  QV_SetProcessingThreads(h, 1);
  ASSERT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), dst);
  EXPECT_TRUE(Snapshot(dst) == twoThreads);
  EXPECT_EQ(U32(Bytes(dst), (29 * 300 + 299) * 300 + 299), U32(Payload(src), 90000 * 30 - 1)) << "last element";
}

TEST_F(ProcessCamDataTest, IntensityStackRegroupsIntoModeOneAndMismatchedModesAreLeftAlone) {
  QV_Handle h = system.handle();
  system.SetMap("SensNFrames", 2);
  _CamData* src = system.PutRecord(0, RawRecord(Params(), 7, 4));
  _CamData* dst = system.PutRecord(1, Destination(Params(), 1, 0));
  ASSERT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), dst);
  EXPECT_EQ(U32(Bytes(dst), 90000 + 4), U32(Payload(src), 2 * 3 + 3 + 1)) << "frame 1, pixel 4";

  _CamData* other = system.PutRecord(2, Destination(Params(), 3, 0));
  auto before = Snapshot(other);
  EXPECT_EQ(QV_ProcessCamData(h, 2, 0, nullptr), other) << "no routine for 7 into 3: result 0";
  EXPECT_EQ(Snapshot(other), before);
}

TEST_F(ProcessCamDataTest, SlotZeroAsDestinationIsRefusedAndLeavesTheAcquisition) {
  QV_Handle h = system.handle();
  system.SetMap("SensNFrames", 2);
  _CamData* src = system.PutRecord(0, RawRecord(Params(), 1, 4));
  auto before = Snapshot(src);
  CallbackRecorder recorder;
  EXPECT_EQ(QV_ProcessCamData(h, 0, 0, nullptr), nullptr);
  // The same record in a second slot is the same case.
  system.PutRecord(1, src)->refCount++;
  EXPECT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), nullptr);
  EXPECT_EQ(Snapshot(src), before);
  EXPECT_EQ(recorder.count(1), 2u);
}

TEST_F(ProcessCamDataTest, ShortOrOverlappingDestinationsAreRefusedUntouched) {
  QV_Handle h = system.handle();
  system.SetMap("SensNFrames", 4);
  _CamData* src = system.PutRecord(0, RawRecord(Params(), 3, 2));
  system.SetMap("SensNFrames", 3);  // a destination allocated for fewer frames
  _CamData* dst = system.PutRecord(1, Destination(Params(), 3, 0));
  system.SetMap("SensNFrames", 4);
  auto before = Snapshot(dst);
  CallbackRecorder recorder;
  EXPECT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), nullptr);
  EXPECT_EQ(Snapshot(dst), before);
  EXPECT_TRUE(recorder.contains(1, 0x702, "CPelCam::ProcessCamData(): record too small for the data mode"));

  // An application buffer inside the acquisition.
  _CamData* inside = CreateCamData(3, QV_CD_EXTERNAL, 4 * 164688, Bytes(src) + 4096);
  system.PutRecord(2, inside);
  EXPECT_EQ(QV_ProcessCamData(h, 2, 0, nullptr), nullptr);
  EXPECT_TRUE(recorder.contains(1, 0x702, "CPelCam::ProcessCamData(): source and destination overlap"));

  // A source shorter than its frame count says.
  system.SetMap("SensNFrames", 5);
  _CamData* big = system.PutRecord(3, Destination(Params(), 3, 0));
  EXPECT_EQ(QV_ProcessCamData(h, 3, 0, nullptr), nullptr);
  EXPECT_EQ(big->size, 5u * 164688);
}

TEST_F(ProcessCamDataTest, A16Z16CopiesTheDestinationSizeOrWidensToTheCross) {
  QV_Handle h = system.handle();
  _CamData* src = system.PutRecord(0, RawRecord(Params(), 5, 4));
  _CamData* plain = system.PutRecord(1, Destination(Params(), 5, 0));
  ASSERT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), plain);
  EXPECT_EQ(std::memcmp(Bytes(plain), Payload(src), plain->size), 0);

  _CamData* cross = system.PutRecord(2, Destination(Params(), 5, QV_CD_CROSS));
  EXPECT_EQ(cross->size, kA16Z16CrossBytes);
  ASSERT_EQ(QV_ProcessCamData(h, 2, 0, nullptr), cross);
  EXPECT_EQ(U32(Bytes(cross), 141), U32(Payload(src), 140));
  EXPECT_EQ(U32(Bytes(cross), 147 * 281), U32(Payload(src), 146 * 280));

  // A padded destination with room for a header asks for more than the
  // acquisition holds behind its header.
  _CamData* padded = system.PutRecord(3, Destination(Params(), 5, QV_CD_HEADER | QV_CD_USB_PADDED));
  EXPECT_EQ(QV_ProcessCamData(h, 3, 0, nullptr), nullptr);
  EXPECT_EQ(Bytes(padded)[0], 0xCD);
}

TEST_F(ProcessCamDataTest, WindowModeUsesTheLimitedHalfWidthRegister) {
  QV_Handle h = system.handle();
  system.camera().SetReg(20, 15);
  EXPECT_EQ(Params().halfWindow, 10u);
  _CamData* src = system.PutRecord(0, RawRecord(Params(), 6, 2));
  _CamData* dst = system.PutRecord(1, Destination(Params(), 6, 0));
  EXPECT_EQ(dst->size, 21u * 490560);
  ASSERT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), dst);
  uint16_t start, position, amplitude;
  std::memcpy(&start, Payload(src), 2);
  std::memcpy(&position, Bytes(dst) + 6 * 20, 2);  // pixel 0, sample 20
  std::memcpy(&amplitude, Bytes(dst) + 6 * 20 + 2, 2);
  EXPECT_EQ(position, static_cast<uint16_t>(start - 320 + 640));
  uint16_t expected;
  std::memcpy(&expected, Payload(src) + 2 * (2 + 20 * 4), 2);
  EXPECT_EQ(amplitude, expected);
}

TEST_F(ProcessCamDataTest, IntensityReadsFramesDarkFramesAndRatioFromTheMaps) {
  QV_Handle h = system.handle();
  system.SetMap("SensNFrames", 8);
  system.SetMap("SensNDarkFrames", 3);
  _CamData* src = system.PutRecord(0, CreateCamData(7, 28, ComputeDataSize(Params(), 7, 28, nullptr), nullptr));
  std::memset(src->data, 0, src->size);
  PutU32(Payload(src), 4 * 3, (100u << 16) | 400);  // frame 4, pixel 0: above the threshold
  _CamData* dst = system.PutRecord(1, Destination(Params(), 7, 0));
  for (auto [ratio, factor] : {std::pair{3u, 16.0f}, std::pair{5u, 2.0f}}) {
    system.SetMap("SensExpRatio", ratio);
    ASSERT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), dst);
    EXPECT_EQ(F32(Bytes(dst), 2 * 90000), 100.0f * factor);
  }
  // (N - D - 3) x size / N
  EXPECT_EQ(ProcessRecord(ReadProcessParams(system.camera()), *src, *dst), 2 * 8 * 360000 / 8);

  system.SetMap("SensNDarkFrames", 1);
  CallbackRecorder recorder;
  EXPECT_EQ(QV_ProcessCamData(h, 1, 0, nullptr), nullptr);
  EXPECT_TRUE(recorder.contains(1, 0x702, "CPelCam::ProcessCamData(): too few frames for the intensity planes"));
}

TEST_F(ProcessCamDataTest, OffsetCommandAddsBehindTheHeaderOnlyForA16Z16) {
  QV_Handle h = system.handle();
  _CamData* a16 = system.PutRecord(2, RawRecord(Params(), 5, 4));
  const size_t words = (a16->size - kFrameHeaderBytes) / 2;
  std::vector<uint16_t> offsets(words, 1000);
  uint16_t* data = reinterpret_cast<uint16_t*>(Payload(a16));
  data[1] = 65000;
  data[3] = 0;
  data[5] = 7;
  uint16_t header0 = reinterpret_cast<uint16_t*>(a16->data)[1];
  uint16_t even = data[4];
  ASSERT_EQ(QV_ProcessCamData(h, 2, 1, offsets.data()), a16);
  EXPECT_EQ(data[1], 65535);
  EXPECT_EQ(data[3], 0);
  EXPECT_EQ(data[5], 1007);
  EXPECT_EQ(data[4], even);
  EXPECT_EQ(reinterpret_cast<uint16_t*>(a16->data)[1], header0) << "the header is not data";

  _CamData* other = system.PutRecord(3, RawRecord(Params(), 3, 2));
  auto before = Snapshot(other);
  EXPECT_EQ(QV_ProcessCamData(h, 3, 1, offsets.data()), other);
  EXPECT_EQ(Snapshot(other), before);
  EXPECT_EQ(QV_ProcessCamData(h, 4, 1, offsets.data()), nullptr) << "empty slot";
  EXPECT_EQ(AddOffsetPattern(*other, offsets.data()), static_cast<int32_t>(other->size));
}
