#include <gtest/gtest.h>

#include "Orvex.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"
#include "desc/MapAccess.h"
#include "desc/NameLookup.h"

using orvex_test::CallbackRecorder;

namespace {

class MapAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.WriteFile("devDesc/SysDesc.xml",
                      R"(<SystemDesc><System id="t" fpga="F"/><FPGA id="F" regDesc="maps.xml"/></SystemDesc>)");
    folder_.WriteFile("devDesc/maps.xml", R"(<RegDesc>
        <Map id="Wide"><Reg num="0x10" id="WideLo" bit="0:8"/><Reg num="0x11" id="WideHi" bit="8:4"/></Map>
        <Reg num="0x12" id="Fields"><Map id="Mid" type="mask:4:3"/><Map id="Bit3" type="bool:3"/></Reg>
        <Reg num="0x20" id="Shared"><Map id="LowNibble" type="mask:0:4"/><Map id="HighNibble" type="mask:4:4"/></Reg>
        <Map id="Upper"><Lnk id="WideLo" bit="-8:0xff"/></Map>
        <Map id="Dangling"><Lnk id="Nowhere"/></Map>
        <Map id="WideLo" cmt="a map that shares a register's name"><Reg num="0x21"/></Map>
      </RegDesc>)");
    ASSERT_EQ(1, QV_Open(&handle_, QV_OPEN_USB, "sys=t"));
    desc_ = QV_GetRegDesc(handle_);
  }
  void TearDown() override { orvex::CloseAllSystems(); }

  _Map* Map(const char* name) { return orvex::FindMap(desc_, name); }
  uint8_t Reg(uint8_t address) { return QV_GetReg(handle_, address); }

  orvex_test::TempDataFolder folder_;
  CallbackRecorder recorder_;
  QV_Handle handle_ = nullptr;
  _RegDesc* desc_ = nullptr;
};

TEST_F(MapAccessTest, ValueSpreadOverTwoRegisters) {
  QV_SetReg(handle_, 0x11, 0xF0);
  EXPECT_EQ(0, QV_SetMap(handle_, Map("Wide"), 0x0ABC));
  EXPECT_EQ(0xBC, Reg(0x10));
  EXPECT_EQ(0xFA, Reg(0x11));
  EXPECT_EQ(0x0ABCu, QV_GetMap(handle_, Map("Wide")));
}

TEST_F(MapAccessTest, FieldsInsideOneRegister) {
  QV_SetReg(handle_, 0x12, 0x8F);
  QV_SetMap(handle_, Map("Mid"), 5);
  EXPECT_EQ(0xDF, Reg(0x12));
  EXPECT_EQ(5u, QV_GetMap(handle_, Map("Mid")));
  QV_SetMap(handle_, Map("Mid"), 0x15);  // bits outside the field are dropped
  EXPECT_EQ(0xDF, Reg(0x12));

  QV_SetReg(handle_, 0x12, 0);
  QV_SetMap(handle_, Map("Bit3"), 1);
  EXPECT_EQ(0x08, Reg(0x12));
  QV_SetMap(handle_, Map("Bit3"), 2);
  EXPECT_EQ(0x00, Reg(0x12));
}

TEST_F(MapAccessTest, MapsSharingARegisterKeepEachOthersBits) {
  QV_SetMap(handle_, Map("LowNibble"), 0xA);
  QV_SetMap(handle_, Map("HighNibble"), 0x5);
  EXPECT_EQ(0x5A, Reg(0x20));
  QV_SetMap(handle_, Map("LowNibble"), 0x3);
  EXPECT_EQ(0x53, Reg(0x20));
  EXPECT_EQ(0x5u, QV_GetMap(handle_, Map("HighNibble")));
}

TEST_F(MapAccessTest, NegativeShiftTakesTheHighByte) {
  QV_SetMap(handle_, Map("Upper"), 0x1234);
  EXPECT_EQ(0x12, Reg(0x10));
  EXPECT_EQ(0x1200u, QV_GetMap(handle_, Map("Upper")));
}

TEST_F(MapAccessTest, EmptyMapsAndDanglingLinksDoNothing) {
  EXPECT_EQ(nullptr, Map("Dangling")->regEntries);
  EXPECT_EQ(0, QV_SetMap(handle_, Map("Dangling"), 0xFF));
  EXPECT_EQ(0u, QV_GetMap(handle_, Map("Dangling")));
  EXPECT_EQ(0, QV_SetMap(handle_, nullptr, 1));
  EXPECT_EQ(0u, QV_GetMap(handle_, nullptr));
}

TEST_F(MapAccessTest, NamesResolveToMapsFirst) {
  _Map* map = orvex::FindMap(desc_, "WideLo");
  ASSERT_TRUE(map);
  EXPECT_STREQ("a map that shares a register's name", map->cmt);
  EXPECT_EQ(0x10, orvex::FindReg(desc_, "WideLo")->num);
  EXPECT_EQ(nullptr, orvex::FindMap(desc_, "widelo"));
  EXPECT_EQ(nullptr, orvex::FindMap(desc_, "Wide "));
  EXPECT_EQ(nullptr, orvex::FindReg(desc_, nullptr));
  bool found = true;
  EXPECT_EQ(7u, orvex::GetMapValueByName(*handle_->camera, "NoSuchMap", 7, &found));
  EXPECT_FALSE(found);
}

TEST_F(MapAccessTest, ClosedHandlesGiveTheErrorValues) {
  _Map* wide = Map("Wide");
  QV_Handle closed = handle_;
  ASSERT_EQ(0, QV_Close(closed));
  recorder_.clear();
  EXPECT_EQ(0xFFFFFFFFu, QV_GetMap(closed, wide));
  EXPECT_EQ(-1, QV_SetMap(closed, wide, 1));
  EXPECT_EQ(-1, QV_SetReg(closed, 0x10, 1));
  EXPECT_EQ(0xFF, QV_GetReg(closed, 0x10));
  EXPECT_EQ(nullptr, QV_GetRegDesc(closed));
  EXPECT_EQ(nullptr, QV_GetSysDesc(closed));
  EXPECT_EQ(6u, recorder_.count(QV_MSG_TEXT));
  EXPECT_TRUE(recorder_.contains(QV_MSG_TEXT, QV_MSG_VALUE(QV_CAT_HANDLE, QV_LEVEL_ERROR), "Illegal Handle!"));
}

// The image covers the described addresses 0 to 0x21 only; everything beyond
// is refused instead of touching memory outside it.
TEST_F(MapAccessTest, RegistersBeyondTheDescriptionAreRefused) {
  EXPECT_EQ(0x22u, handle_->camera->RegisterCount());
  EXPECT_EQ(0, QV_SetReg(handle_, 0x21, 9));
  EXPECT_EQ(9, QV_GetReg(handle_, 0x21));
  recorder_.clear();
  EXPECT_EQ(-1, QV_SetReg(handle_, 0x22, 9));
  EXPECT_EQ(0xFF, QV_GetReg(handle_, 0xFF));
  const uint32_t warning = QV_MSG_VALUE(QV_CAT_PROTOCOL, QV_LEVEL_WARNING);
  EXPECT_TRUE(recorder_.contains(QV_MSG_TEXT, warning,
                                 "QV_SetReg(): register 0x22 is not in the register description"));
  EXPECT_TRUE(recorder_.contains(QV_MSG_TEXT, warning,
                                 "QV_GetReg(): register 0xff is not in the register description"));
}

}  // namespace
