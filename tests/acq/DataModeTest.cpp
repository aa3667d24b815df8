#include <gtest/gtest.h>

#include "AcqFixture.h"
#include "acq/DataMode.h"
#include "core/SystemList.h"

using namespace acq_test;
using orvex::AcqParams;
using orvex::ComputeDataSize;

namespace {

struct SizeCase {
  uint32_t mode;
  uint16_t flags;
  AcqParams params;
  uint32_t bytes;
  uint8_t numDim;
  std::vector<uint32_t> dims;
};

class DataModeTest : public ::testing::Test {
 protected:
  void TearDown() override { orvex::CloseAllSystems(); }
};

TEST_F(DataModeTest, SizesAndShapesForEveryModeIncludingPadding) {
  const uint16_t raw = 28, a16 = 12;
  const std::vector<SizeCase> cases = {
      // 3602048 is not a multiple of 512; 5762048 is and still grows by 512.
      {1, raw, {10, 0, 0}, 3602432, 4, {2, 300, 300, 10}},
      {1, raw, {16, 0, 0}, 5762560, 4, {2, 300, 300, 16}},
      {1, 0, {2, 0, 0}, 720000, 4, {2, 300, 300, 2}},
      {3, raw, {3, 0, 0}, (3 * 164688 + 2048 + 512) & ~511u, 3, {282, 292, 3}},
      {4, 0, {3, 0, 0}, 3 * 82344, 3, {282, 292, 3}},
      {5, a16, {99, 0, 0}, 329216, 3, {2, 280, 292}},
      {5, QV_CD_CROSS, {1, 0, 0}, 329332, 3, {2, 281, 293}},
      {6, QV_CD_COMPACT, {1, 0, 15}, 21 * 327040 + 163520, 4, {2, 21, 280, 292}},
      {6, 0, {1, 0, 0}, 490560, 4, {3, 1, 280, 292}},
      {7, 0, {12, 4, 0}, 12 * 360000, 3, {300, 300, 7}},
      {7, 0, {3, 4, 0}, 3 * 360000, 3, {300, 300, 0}},  // too few frames: no plane, no wrap
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " flags " + std::to_string(c.flags));
    _CamDataMeta meta{};
    EXPECT_EQ(ComputeDataSize(c.params, c.mode, c.flags, &meta), c.bytes);
    EXPECT_EQ(meta.numDim, c.numDim);
    for (size_t i = 0; i < c.dims.size(); ++i) EXPECT_EQ(meta.dimSz[i], c.dims[i]) << "dim " << i;
  }
}

TEST_F(DataModeTest, NoValidModeGivesZeroAndLeavesTheShape) {
  for (uint32_t mode : {0u, 2u, 8u}) {
    _CamDataMeta meta{9, {1, 2, 3, 4, 5}};
    EXPECT_EQ(ComputeDataSize(AcqParams{10, 0, 0}, mode, 28, &meta), 0u);
    EXPECT_EQ(meta.numDim, 9);
    EXPECT_EQ(meta.dimSz[4], 5u);
  }
  _CamDataMeta meta{0, {0, 0, 0, 0, 77}};
  ComputeDataSize(AcqParams{1, 0, 0}, 5, 12, &meta);
  EXPECT_EQ(meta.dimSz[3], 0u) << "entries beyond numDim stay as the caller set them";
  EXPECT_EQ(meta.dimSz[4], 77u);
}

TEST_F(DataModeTest, ModeFollowsCamModeAndCompression) {
  QV_Handle h = OpenTestSystem();
  const std::vector<std::pair<uint8_t, uint32_t>> table = {{0, 1}, {1, 3}, {2, 3}, {3, 7}, {4, 5}, {5, 6}, {6, 0}, {7, 5}};
  for (auto [camMode, dataMode] : table) {
    SetMode(h, camMode);
    EXPECT_EQ(orvex::DetermineDataMode(*h->camera), dataMode) << "CamMode " << int(camMode);
  }
  SetMode(h, 1, true);
  EXPECT_EQ(orvex::DetermineDataMode(*h->camera), 4u);
  SetMode(h, 2, true);
  EXPECT_EQ(orvex::DetermineDataMode(*h->camera), 4u);

  QV_Handle noComp = OpenTestSystem({false, false});
  SetMode(noComp, 1, true);
  EXPECT_EQ(orvex::DetermineDataMode(*noComp->camera), 3u) << "a missing Comp11to8 map counts as 0";
}

TEST_F(DataModeTest, AliasMapsAndTheHalfWindowLimitAreRead) {
  QV_Handle h = OpenTestSystem({true, true});
  SetMode(h, 0);
  SetFrames(h, 7);
  h->camera->SetReg(kRegHwin, 15);
  AcqParams p = orvex::ReadAcqParams(*h->camera);
  EXPECT_EQ(p.frames, 7u);
  EXPECT_EQ(p.halfWindow, 10u);
  EXPECT_EQ(orvex::DetermineDataMode(*h->camera), 1u);
  _CamDataMeta meta{};
  EXPECT_EQ(ComputeDataSize(*h->camera, 6, 16, &meta), 21u * 327040 + 163520);
  EXPECT_EQ(meta.dimSz[1], 21u);
}

}  // namespace
