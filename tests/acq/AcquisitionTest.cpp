#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "AcqFixture.h"
#include "acq/SimulatedPattern.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"

using namespace acq_test;
using orvex_test::CallbackRecorder;

namespace {

class AcquisitionTest : public ::testing::Test {
 protected:
  void SetUp() override { h = OpenTestSystem(); }
  void TearDown() override { orvex::CloseAllSystems(); }
  QV_Handle h = nullptr;
};

std::vector<uint32_t> Kinds(const CallbackRecorder& recorder) {
  std::vector<uint32_t> kinds;
  for (const auto& m : recorder.messages()) kinds.push_back(m.kind);
  return kinds;
}

TEST_F(AcquisitionTest, SlotZeroIsReusedUntilTheSizeGrows) {
  SetMode(h, 0);
  SetFrames(h, 2);
  CallbackRecorder recorder;
  ASSERT_EQ(QV_Acquire(h), static_cast<int32_t>((2 * 360000 + 2048 + 512) & ~511u));
  EXPECT_EQ(Kinds(recorder), (std::vector<uint32_t>{16, 17}));
  for (const auto& m : recorder.messages()) {
    EXPECT_EQ(m.handle, h);
    EXPECT_EQ(m.value, 1u);
    EXPECT_FALSE(m.hasText);
  }
  _CamData* first = QV_GetCamData(h, 0, 0, nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->mode, 1u);
  EXPECT_EQ(first->flags, 28);
  EXPECT_EQ(first->refCount, 1);

  recorder.clear();
  EXPECT_GT(QV_Acquire(h), 0);
  EXPECT_EQ(recorder.count(16) + recorder.count(17), 0u);
  EXPECT_EQ(QV_GetCamData(h, 0, 0, nullptr), first);

  // Fewer frames fit into the buffer as it is; its own size stays.
  h->camera->regAttr[kRegFrames] = 0;  // keep the buffer across the frame writes
  SetFrames(h, 1);
  EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>((360000 + 2048 + 512) & ~511u));
  ASSERT_NE(QV_GetCamData(h, 0, 0, nullptr), nullptr);
  EXPECT_EQ(QV_GetCamData(h, 0, 0, nullptr)->size, (2 * 360000 + 2048 + 512) & ~511u);

  SetFrames(h, 3);
  recorder.clear();
  EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>((3 * 360000 + 2048 + 512) & ~511u));
  EXPECT_EQ(Kinds(recorder), (std::vector<uint32_t>{16, 17}));
  EXPECT_EQ(QV_GetCamData(h, 0, 0, nullptr)->size, (3 * 360000 + 2048 + 512) & ~511u);
}

TEST_F(AcquisitionTest, AModeChangeOrAReleasingRegisterRebuildsSlotZero) {
  SetMode(h, 4);
  ASSERT_EQ(QV_Acquire(h), 329216);
  EXPECT_EQ(QV_GetCamData(h, 0, 0, nullptr)->flags, 12);

  // A write to a register marked as affecting the buffer drops slot 0 at once.
  SetMode(h, 7);
  EXPECT_EQ(QV_GetCamData(h, 0, 0, nullptr), nullptr);
  CallbackRecorder recorder;
  EXPECT_EQ(QV_Acquire(h), 329216);
  EXPECT_EQ(Kinds(recorder), (std::vector<uint32_t>{16, 17}));

  // A plain register leaves it alone.
  h->camera->SetReg(kRegPlain, 1);
  recorder.clear();
  EXPECT_EQ(QV_Acquire(h), 329216);
  EXPECT_TRUE(recorder.messages().empty());

  // Same size, other data mode: rebuilt as well.
  h->camera->regAttr[kRegMode] = 0;
  SetMode(h, 1, true);
  h->camera->SetReg(kRegFrames, 4);  // 4 x 82344 + 2048 < 329216
  recorder.clear();
  EXPECT_GT(QV_Acquire(h), 0);
  EXPECT_EQ(Kinds(recorder), (std::vector<uint32_t>{16, 17}));
  EXPECT_EQ(QV_GetCamData(h, 0, 0, nullptr)->mode, 4u);
}

TEST_F(AcquisitionTest, AHolderKeepsItsRecordAcrossFreeAndReallocation) {
  SetMode(h, 0);
  ASSERT_GT(QV_Acquire(h), 0);
  _CamDataMeta meta{};
  _CamData* held = QV_GetCamData(h, 0, 1, &meta);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->refCount, 2);
  EXPECT_EQ(meta.numDim, 4);
  EXPECT_EQ(meta.dimSz[3], 1u);

  // Two holders: the first release lowers the count and keeps it in the slot.
  EXPECT_EQ(QV_FreeCamData(h, 0), held);
  EXPECT_EQ(held->refCount, 1);
  EXPECT_EQ(QV_GetCamData(h, 0, 0, nullptr), held);
  EXPECT_EQ(QV_FreeCamData(h, 0), nullptr);
  EXPECT_EQ(QV_GetCamData(h, 0, 0, nullptr), nullptr);

  // A held record survives the rebuild of its slot; the holder returns it later.
  ASSERT_GT(QV_Acquire(h), 0);
  held = QV_GetCamData(h, 0, 1, nullptr);
  std::memset(held->data, 0xAB, 16);
  SetFrames(h, 2);
  ASSERT_GT(QV_Acquire(h), 0);
  _CamData* fresh = QV_GetCamData(h, 0, 0, nullptr);
  ASSERT_NE(fresh, held);
  EXPECT_EQ(held->refCount, 1);
  EXPECT_EQ(static_cast<uint8_t*>(held->data)[15], 0xAB);
  EXPECT_EQ(QV_SetCamData(h, 9, held), 0);
  EXPECT_EQ(held->refCount, 2);
  EXPECT_EQ(QV_SetCamData(h, 9, held), 0) << "storing the same record again changes nothing";
  EXPECT_EQ(held->refCount, 2);
  EXPECT_EQ(QV_FreeCamData(h, 9), held);
  EXPECT_EQ(QV_FreeCamData(h, 9), nullptr);  // freed here (ASan watches)
  EXPECT_EQ(fresh->refCount, 1);
}

TEST_F(AcquisitionTest, EmptyAndMissingSlotsGiveNothing) {
  CallbackRecorder recorder;
  _CamDataMeta meta{3, {7, 7, 7, 7, 7}};
  EXPECT_EQ(QV_GetCamData(h, 0, 1, &meta), nullptr);
  EXPECT_EQ(QV_GetCamData(h, 200, 1, &meta), nullptr);
  EXPECT_EQ(meta.dimSz[0], 7u);
  EXPECT_EQ(QV_FreeCamData(h, 200), nullptr);
  EXPECT_EQ(QV_FreeCamData(h, 0xFFFFFFFF), nullptr);
  EXPECT_TRUE(recorder.messages().empty());
  EXPECT_EQ(QV_SetCamData(h, 4, nullptr), 0);
  EXPECT_EQ(QV_GetCamData(h, 4, 0, nullptr), nullptr);
}

TEST_F(AcquisitionTest, AllocatedRecordsOwnTheirDataOrUseTheBuffer) {
  SetMode(h, 4);
  _CamData* own = QV_AllocCamData(h, 1, 5, 32, nullptr, 0);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->size, 329332u);
  EXPECT_EQ(own->refCount, 1);
  EXPECT_EQ(own->flags, 32);
  std::memset(own->data, 1, own->size);  // the whole size is addressable

  uint8_t buffer[64];
  _CamData* copy = QV_AllocCamData(h, 2, 5, 0, buffer, sizeof buffer);
  EXPECT_EQ(copy->size, 64u);
  EXPECT_NE(copy->data, static_cast<void*>(buffer)) << "without flag 2 the record owns its bytes";
  _CamData* external = QV_AllocCamData(h, 3, 5, QV_CD_EXTERNAL, buffer, sizeof buffer);
  EXPECT_EQ(external->data, static_cast<void*>(buffer));
  _CamData* none = QV_AllocCamData(h, 4, 5, QV_CD_EXTERNAL, nullptr, 999);
  EXPECT_EQ(none->size, 0u) << "an external record without a buffer describes no bytes";

  // Replacing the slot releases the previous record.
  _CamData* again = QV_AllocCamData(h, 1, 1, 0, nullptr, 0);
  EXPECT_EQ(again->size, 360000u);
}

TEST_F(AcquisitionTest, AnExternalSlotZeroThatDoesNotFitIsLeftAlone) {
  SetMode(h, 4);
  std::vector<uint8_t> small(1000), large(329216, 0);
  _CamData* tooSmall = QV_AllocCamData(h, 0, 5, QV_CD_EXTERNAL, small.data(), small.size());
  CallbackRecorder recorder;
  EXPECT_EQ(QV_Acquire(h), -1);
  EXPECT_EQ(QV_GetCamData(h, 0, 0, nullptr), tooSmall);
  EXPECT_TRUE(recorder.messages().empty());

  _CamData* wrongMode = QV_AllocCamData(h, 0, 1, QV_CD_EXTERNAL, large.data(), large.size());
  EXPECT_EQ(QV_Acquire(h), -1);
  EXPECT_EQ(QV_GetCamData(h, 0, 0, nullptr), wrongMode);

  QV_AllocCamData(h, 0, 5, QV_CD_EXTERNAL, large.data(), large.size());
  EXPECT_EQ(QV_Acquire(h), 329216);
  EXPECT_EQ(large[2048], 0xFF) << "the pattern went into the application's buffer";
}

TEST_F(AcquisitionTest, WithoutAValidModeNothingIsReadOrWritten) {
  SetMode(h, 6);
  CallbackRecorder recorder;
  EXPECT_EQ(QV_Acquire(h), 0);
  _CamData* record = QV_GetCamData(h, 0, 0, nullptr);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->size, 0u);
  EXPECT_EQ(record->mode, 0u);
  EXPECT_EQ(QV_Acquire(h), 0);
  EXPECT_EQ(recorder.count(16), 1u);
}

// The generator of the simulated source, stepped by hand.
struct Lcg {
  uint32_t state = 1;
  uint32_t Next() {
    state = state * 214013u + 2531011u;
    return (state >> 16) & 0x7FFF;
  }
};

TEST_F(AcquisitionTest, SimulatedPatternWordsAndQvReadFlags) {
  // A fresh thread starts its own generator at 1.
  std::vector<uint16_t> words(1024 + 8, 0);
  int32_t result = 0;
  std::thread reader([&] { result = QV_Read(h, words.data(), 2048 + 16, 0); });
  reader.join();
  EXPECT_EQ(result, 2048 + 16);
  Lcg lcg;
  for (uint32_t i = 0; i < 1024; ++i) ASSERT_EQ(words[i], static_cast<uint16_t>((lcg.Next() & 0xFF) + (i << 4))) << i;
  EXPECT_EQ(std::vector<uint16_t>(words.begin() + 1024, words.end()),
            (std::vector<uint16_t>{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 4, 5, 6, 7}));

  // The same sequence goes on in the same thread, never reseeded.
  std::thread second([&] {
    std::vector<uint16_t> a(1024), b(1024);
    QV_Read(h, a.data(), 2048, 0);
    QV_Read(h, b.data(), 2048, 0);
    Lcg own;
    for (int i = 0; i < 1024; ++i) own.Next();
    EXPECT_EQ(b[0], static_cast<uint16_t>(own.Next() & 0xFF));
  });
  second.join();

  // Flags other than 0 read nothing and say nothing.
  CallbackRecorder recorder;
  std::vector<uint16_t> untouched(16, 0x1234);
  EXPECT_EQ(QV_Read(h, untouched.data(), 32, 1), -1);
  EXPECT_EQ(untouched[0], 0x1234);
  EXPECT_TRUE(recorder.messages().empty());
  EXPECT_EQ(QV_Write(h), -1);
  EXPECT_EQ(QV_Read(h, nullptr, 32, 0), -1);
}

TEST_F(AcquisitionTest, ThePatternStaysInsideBuffersBelowTheHeaderSize) {
  std::vector<uint8_t> guarded(200, 0xEE);
  EXPECT_EQ(QV_Read(h, reinterpret_cast<uint16_t*>(guarded.data()), 101, 0), 101);
  for (size_t i = 101; i < guarded.size(); ++i) ASSERT_EQ(guarded[i], 0xEE) << i;
  EXPECT_EQ(guarded[100], 0xEE) << "an odd last byte is no word";
}

TEST_F(AcquisitionTest, IllegalHandlesGiveTheErrorValues) {
  int never = 0;
  auto bad = reinterpret_cast<QV_Handle>(&never);
  CallbackRecorder recorder;
  uint16_t word = 0;
  EXPECT_EQ(QV_Acquire(bad), -1);
  EXPECT_EQ(QV_AllocCamData(bad, 0, 1, 0, nullptr, 0), nullptr);
  EXPECT_EQ(QV_GetCamData(bad, 0, 1, nullptr), nullptr);
  EXPECT_EQ(QV_SetCamData(bad, 0, nullptr), -1);
  EXPECT_EQ(QV_FreeCamData(bad, 0), nullptr);
  EXPECT_EQ(QV_Read(bad, &word, 2, 0), -1);
  EXPECT_EQ(QV_Write(bad), -1);
  EXPECT_EQ(QV_CreateStreamFile(bad, nullptr), -1);
  EXPECT_EQ(QV_FileStreamCmd(bad, 2, 0, nullptr), -1);
  ASSERT_EQ(recorder.messages().size(), 9u);
  for (const auto& m : recorder.messages()) EXPECT_TRUE(m.kind == 1 && m.value == 0x503 && m.text == "Illegal Handle!");
}

}  // namespace
