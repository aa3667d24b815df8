#include <gtest/gtest.h>

#include <string>

#include "LvTestSupport.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "desc/MapAccess.h"
#include "desc/NameLookup.h"
#include "labview/AttribText.h"

namespace {

using orvex_test::CallbackRecorder;

class LvAttribTest : public ::testing::Test {
 protected:
  void SetUp() override { system_ = description_.Open(); }
  void TearDown() override { orvex::CloseAllSystems(); }
  uint32_t Map(const char* name) {
    return orvex::GetMapValue(*system_->camera, orvex::FindMap(system_->camera->regDesc.get(), name));
  }
  uint8_t Reg(uint8_t address) { return system_->camera->GetRegImage(address); }

  lvtest::TestDescription description_;
  QV_Handle system_ = nullptr;
};

TEST_F(LvAttribTest, TwoPairsSetTwoMaps) {
  EXPECT_EQ(LV_SetAttrib(system_, 0, "SensNFrames=10 CamMode=3"), 2);
  EXPECT_EQ(Map("SensNFrames"), 10u);
  EXPECT_EQ(Map("CamMode"), 3u);
}

TEST_F(LvAttribTest, BlanksAroundAndDoubledEqualsSignAreAccepted) {
  EXPECT_EQ(LV_SetAttrib(system_, 0, "\t SensNFrames = 300\nCamMode==5  Comp11to8 =\t= 1\n"), 3);
  EXPECT_EQ(Map("SensNFrames"), 300u) << "spread over two registers";
  EXPECT_EQ(Reg(0x10), 300 & 0xFF);
  EXPECT_EQ(Reg(0x11), 1);
  EXPECT_EQ(Map("CamMode"), 5u);
  EXPECT_EQ(Map("Comp11to8"), 1u);
}

TEST_F(LvAttribTest, NumbersInEveryIntegerSyntaxAndTrailingCharactersIgnored) {
  EXPECT_EQ(LV_SetAttrib(system_, 0, "SensNFrames=0x1F SensNDarkFrames=010 Gain=-1 CamMode=2abc"), 4);
  EXPECT_EQ(Map("SensNFrames"), 31u);
  EXPECT_EQ(Map("SensNDarkFrames"), 8u) << "leading 0 is octal";
  EXPECT_EQ(Reg(0x30), 0xFF) << "a register without a map, low byte of -1";
  EXPECT_EQ(Map("CamMode"), 2u);
}

TEST_F(LvAttribTest, WordInsteadOfNumberIsSyntaxErrorAndEarlierPairsStaySet) {
  CallbackRecorder recorder;
  EXPECT_EQ(LV_SetAttrib(system_, 0, "CamMode=1 SensNFrames=ten CamMode=4"), -2);
  EXPECT_EQ(Map("CamMode"), 1u);
  EXPECT_EQ(Map("SensNFrames"), 0u);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"Parsing Error of string:\nten CamMode=4"}));
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].value, 0x102u);
  EXPECT_EQ(recorder.messages()[0].handle, system_);
  EXPECT_EQ(LV_SetAttrib(system_, 0, "CamMode="), -2) << "a name without value";
}

TEST_F(LvAttribTest, UnknownNameIsReportedAndNotCounted) {
  CallbackRecorder recorder;
  EXPECT_EQ(LV_SetAttrib(system_, 0, "Foo=1"), 0);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"Could not find Register or Map called Foo\nFoo=1"}));
  EXPECT_EQ(LV_SetAttrib(system_, 0, "camMode=1 CamMode=1"), 1) << "names are case-sensitive";
}

TEST_F(LvAttribTest, OtherSelectorsEmptyTextsAndBadHandles) {
  CallbackRecorder recorder;
  EXPECT_EQ(LV_SetAttrib(system_, 1, "CamMode=1"), 0);
  EXPECT_EQ(LV_SetAttrib(system_, 0, ""), 0);
  EXPECT_EQ(LV_SetAttrib(system_, 0, nullptr), 0);
  EXPECT_EQ(LV_SetAttrib(system_, 0, " \t\n"), 0);
  EXPECT_EQ(Map("CamMode"), 0u);
  EXPECT_TRUE(recorder.messages().empty());
  int never = 0;
  auto bad = reinterpret_cast<QV_Handle>(&never);
  EXPECT_EQ(LV_SetAttrib(bad, 0, "CamMode=1"), -1);
  EXPECT_EQ(LV_GetAttrib(bad, 0, "CamMode"), -1);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"Illegal Handle!", "Illegal Handle!"}));
}

TEST_F(LvAttribTest, GetAttribTakesTheNameOutOfSurroundingText) {
  ASSERT_EQ(LV_SetAttrib(system_, 0, "SensNFrames=1234 Gain=0x7E"), 2);
  EXPECT_EQ(LV_GetAttrib(system_, 0, " SensNFrames=5"), 1234);
  EXPECT_EQ(LV_GetAttrib(system_, 0, "\nGain trailing words"), 0x7E);
  EXPECT_EQ(LV_GetAttrib(system_, 0, "SensNFramesHi"), 1234 >> 8) << "registers answer too";
  EXPECT_EQ(LV_GetAttrib(system_, 1, "SensNFrames"), 0);
  EXPECT_EQ(LV_GetAttrib(system_, 0, "  "), -1);
  EXPECT_EQ(LV_GetAttrib(system_, 0, "=5"), -1);
  EXPECT_EQ(LV_GetAttrib(system_, 0, nullptr), -1);
  CallbackRecorder recorder;
  EXPECT_EQ(LV_GetAttrib(system_, 0, "Foo=3"), 0);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"Could not find Register or Map called Foo"}));
}

TEST(AttribTextReaderTest, LongNamesAreCutAndTheirRestSkipped) {
  std::string text = std::string(100, 'N') + "=7";
  orvex::lv::AttribTextReader reader(text.c_str());
  ASSERT_EQ(reader.Next(), orvex::lv::AttribStep::Pair);
  EXPECT_EQ(reader.name(), std::string(63, 'N'));
  EXPECT_EQ(reader.value(), 7);
  EXPECT_EQ(reader.Next(), orvex::lv::AttribStep::End);
}

TEST(AttribTextReaderTest, IntegersFollowPercentISyntaxAndWrapAt32Bits) {
  int32_t value = 0;
  struct Case { const char* text; int32_t value; size_t used; };
  for (const Case& c : {Case{"42", 42, 2}, Case{"-0x10", -16, 5}, Case{"+017", 15, 4}, Case{"0", 0, 1},
                        Case{"08", 0, 1}, Case{"0xg", 0, 1}, Case{"0xFFFFFFFF", -1, 10},
                        Case{"4294967297", 1, 10}, Case{" \r7", 7, 3}}) {
    const char* end = orvex::lv::ParseInteger(c.text, &value);
    ASSERT_NE(end, nullptr) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(static_cast<size_t>(end - c.text), c.used) << c.text;
  }
  for (const char* bad : {"", "-", "+x", "- 5", "x1", "ten"}) EXPECT_EQ(orvex::lv::ParseInteger(bad, &value), nullptr) << bad;
}

}  // namespace
