#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "K7Hlp.h"
#include "Orvex.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"
#include "TestRecords.h"

using k7hlp_test::Record;

namespace {

// CamMode and SensNFrames are maps (SensNFrames over two registers), SensNavM2
// is only a register name (its field has another name), SensTqp a map that
// shares a register's name, and
// SensDeltaExp and BSEnable are described nowhere (they read register 255).
class AssignRawDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.WriteFile("devDesc/SysDesc.xml",
                      R"(<SystemDesc><System id="t" fpga="F"/><FPGA id="F" regDesc="maps.xml"/></SystemDesc>)");
    folder_.WriteFile("devDesc/maps.xml", R"(<RegDesc>
        <Reg num="0x03" id="ModeCtrl"><Map id="CamMode" type="mask:0:3"/></Reg>
        <Map id="SensNFrames"><Reg num="0x10" id="FramesLo" bit="0:8"/><Reg num="0x11" id="FramesHi" bit="8:3"/></Map>
        <Reg num="0x16" id="SensNavM2"><Map id="NavField" type="mask:0:4"/></Reg>
        <Reg num="0x17" id="SensTqp"><Map id="TqpField" type="mask:0:8"/></Reg>
        <Map id="SensTqp"><Reg num="0x18"/></Map>
        <Reg num="0xFF" id="Last"/>
      </RegDesc>)");
    ASSERT_EQ(1, QV_Open(&handle_, QV_OPEN_USB, "sys=t"));
    QV_SetReg(handle_, 0x10, 0x23);
    QV_SetReg(handle_, 0x11, 0x01);
    QV_SetReg(handle_, 0x16, 0x36);
    QV_SetReg(handle_, 0x17, 99);
    QV_SetReg(handle_, 0x18, 42);
    QV_SetReg(handle_, 0xFF, 0xAB);
    header_.resize(2048);
    for (size_t i = 0; i < header_.size(); ++i) header_[i] = static_cast<uint8_t>(i * 7);
  }
  void TearDown() override { orvex::CloseAllSystems(); }

  void SetCamMode(uint8_t mode) { QV_SetReg(handle_, 0x03, mode); }

  int Assign(std::vector<uint16_t>& words, std::initializer_list<uint32_t> shape, K7Hlp_Data* out) {
    meta_ = {};
    meta_.numDim = static_cast<uint8_t>(shape.size());
    size_t i = 0;
    for (uint32_t d : shape) meta_.dimSz[i++] = d;
    camData_ = {static_cast<uint32_t>(words.size() * 2), 0, 0, 1, words.data()};
    return K7Hlp_assignRawData(handle_, header_.data(), &meta_, &camData_, out);
  }

  std::vector<uint16_t> Samples(const Record& r) const {
    const uint16_t* w = static_cast<const uint16_t*>(r->data);
    return std::vector<uint16_t>(w, w + r->dataSize / 2);
  }

  orvex_test::TempDataFolder folder_;
  orvex_test::CallbackRecorder recorder_;
  QV_Handle handle_ = nullptr;
  std::vector<uint8_t> header_;
  _CamDataMeta meta_{};
  _CamData camData_{};
};

}  // namespace

TEST_F(AssignRawDataTest, A16Z16PairsBecomePlanesSurfaceFirst) {
  SetCamMode(4);
  Record raw;
  // 3 x 2 pixels, (amplitude, surface) per pixel.
  std::vector<uint16_t> words = {100, 200, 101, 201, 102, 202, 103, 203, 104, 204, 105, 205};
  ASSERT_EQ(Assign(words, {2, 3, 2}, raw.get()), 0);
  EXPECT_EQ(raw->dataType, 1);
  EXPECT_EQ(raw->dim[0], 3u);
  EXPECT_EQ(raw->dim[1], 2u);
  EXPECT_EQ(raw->dim[2], 2u);
  EXPECT_EQ(raw->dim[3], 0u);
  EXPECT_EQ(raw->dataSize, 24u);
  EXPECT_EQ(Samples(raw), (std::vector<uint16_t>{200, 201, 202, 203, 204, 205, 100, 101, 102, 103, 104, 105}));
  EXPECT_EQ(raw->headerType, 1);
  ASSERT_EQ(raw->headerSize, 2048u);
  EXPECT_EQ(std::memcmp(raw->header, header_.data(), 2048), 0);
  EXPECT_EQ(raw->unit, 0);
}

TEST_F(AssignRawDataTest, RegisterValuesByNameMapsFirst) {
  SetCamMode(7);
  Record raw;
  std::vector<uint16_t> words = {1, 2};
  ASSERT_EQ(Assign(words, {2, 1, 1}, raw.get()), 0);
  const int32_t expected[6] = {7, 0x123, 0x36, 42, 0xAB, 0xAB};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(raw->param[i].value, expected[i]) << raw->param[i].name;
}

TEST_F(AssignRawDataTest, WindowSamplesBecomePlanarComponents) {
  SetCamMode(5);
  Record raw;
  // C = 3 components, F = 3 frames, 2 x 1 pixels; word = 100 * pixel + 10 * frame + component.
  std::vector<uint16_t> words;
  for (uint16_t pixel = 0; pixel < 2; ++pixel)
    for (uint16_t frame = 0; frame < 3; ++frame)
      for (uint16_t c = 0; c < 3; ++c) words.push_back(static_cast<uint16_t>(100 * pixel + 10 * frame + c));
  ASSERT_EQ(Assign(words, {3, 3, 2, 1}, raw.get()), 0);
  EXPECT_EQ(raw->dim[0], 2u);
  EXPECT_EQ(raw->dim[1], 1u);
  EXPECT_EQ(raw->dim[2], 3u);
  EXPECT_EQ(raw->dim[3], 3u);
  EXPECT_EQ(raw->dataSize, 36u);
  const std::vector<uint16_t> s = Samples(raw);
  for (uint16_t c = 0; c < 3; ++c)
    for (uint16_t frame = 0; frame < 3; ++frame)
      for (uint16_t x = 0; x < 2; ++x) EXPECT_EQ(s[x + 2 * (frame + 3 * c)], 100 * x + 10 * frame + c);
}

TEST_F(AssignRawDataTest, PlanarLayoutHoldsForBlockedAndOddShapesAndRefilledRecords) {
  SetCamMode(5);
  Record raw;
  // Pixel and channel counts on either side of the 8 x 8 blocks; the same
  // record refilled with the same size (its block is reused) and other sizes.
  for (auto [frames, w, h] : std::vector<std::array<uint16_t, 3>>{{7, 13, 3}, {7, 13, 3}, {1, 2, 1}, {21, 40, 8}, {3, 5, 1}}) {
    SCOPED_TRACE(testing::Message() << frames << " frames, " << w << " x " << h);
    const size_t pixels = size_t{w} * h;
    std::vector<uint16_t> words;
    for (size_t pixel = 0; pixel < pixels; ++pixel)
      for (uint16_t frame = 0; frame < frames; ++frame)
        for (uint16_t c = 0; c < 3; ++c) words.push_back(static_cast<uint16_t>(100 * pixel + 10 * frame + c + w));
    ASSERT_EQ(Assign(words, {3, frames, w, h}, raw.get()), 0);
    const std::vector<uint16_t> s = Samples(raw);
    ASSERT_EQ(s.size(), words.size());
    for (uint16_t c = 0; c < 3; ++c)
      for (uint16_t frame = 0; frame < frames; ++frame)
        for (size_t x = 0; x < pixels; ++x)
          ASSERT_EQ(s[x + pixels * (frame + frames * c)], static_cast<uint16_t>(100 * x + 10 * frame + c + w));
  }
}

TEST_F(AssignRawDataTest, UnsupportedCamModeKeepsHeaderAndRegisters) {
  SetCamMode(6);
  Record raw;
  std::vector<uint16_t> words = {1, 2};
  EXPECT_EQ(Assign(words, {2, 1, 1}, raw.get()), -4);
  EXPECT_STREQ(K7Hlp_getLastError(),
               "K7Hlp_assignRawData:: CamMode currently not supported by K7Hlp library. Only CamMode 4, 5 and 7 are "
               "supported");
  EXPECT_EQ(raw->dataType, 0);
  EXPECT_EQ(raw->headerType, 1);
  EXPECT_EQ(raw->headerSize, 2048u);
  EXPECT_EQ(raw->param[0].value, 6);
  EXPECT_EQ(raw->param[1].value, 0x123);
}

TEST_F(AssignRawDataTest, MissingArgumentsInOrder) {
  Record raw;
  std::vector<uint16_t> words = {1, 2};
  _CamDataMeta meta{};
  _CamData data{4, 0, 0, 1, words.data()};
  EXPECT_EQ(K7Hlp_assignRawData(handle_, nullptr, nullptr, nullptr, nullptr), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_assignRawData:: camHeader not found");
  EXPECT_EQ(K7Hlp_assignRawData(handle_, header_.data(), nullptr, nullptr, nullptr), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_assignRawData:: camMeta not found");
  EXPECT_EQ(K7Hlp_assignRawData(handle_, header_.data(), &meta, nullptr, nullptr), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_assignRawData:: camData not found");
  EXPECT_EQ(K7Hlp_assignRawData(handle_, header_.data(), &meta, &data, nullptr), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_assignRawData:: rawOut not found");
  data.data = nullptr;
  EXPECT_EQ(K7Hlp_assignRawData(handle_, header_.data(), &meta, &data, raw.get()), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_assignRawData:: camData not found");
}

TEST_F(AssignRawDataTest, ShapesThatDoNotFitTheRecordAreRejected) {
  Record raw;
  std::vector<uint16_t> words(12, 7);
  SetCamMode(4);
  EXPECT_EQ(Assign(words, {2, 4, 2}, raw.get()), -1) << "16 words announced, 12 there";
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_assignRawData:: camMeta does not match camData");
  EXPECT_EQ(raw->dataType, 0);
  EXPECT_EQ(Assign(words, {1, 3, 4}, raw.get()), -1) << "one word per pixel has no surface word";
  EXPECT_EQ(Assign(words, {0, 3, 4}, raw.get()), -1) << "no samples";
  EXPECT_EQ(Assign(words, {0x10000, 0x10000, 0x10000}, raw.get()), -1) << "product overflows 32 bits";
  SetCamMode(5);
  EXPECT_EQ(Assign(words, {3, 3, 2, 1}, raw.get()), -1);
  EXPECT_EQ(Assign(words, {3, 2, 2, 1}, raw.get()), 0);
}

TEST_F(AssignRawDataTest, SystemThatIsNotOpenIsRejected) {
  Record raw;
  std::vector<uint16_t> words = {1, 2};
  SetCamMode(4);
  ASSERT_EQ(Assign(words, {2, 1, 1}, raw.get()), 0);
  QV_Close(handle_);
  EXPECT_EQ(Assign(words, {2, 1, 1}, raw.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_assignRawData:: register description not found");
  EXPECT_EQ(raw->dataType, 0) << "the previous frame was released first";
  EXPECT_TRUE(recorder_.contains(1, 0x503, "Illegal Handle!"));
}
