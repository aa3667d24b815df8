// Register write, read and read-all through the emulator: exact request
// bytes, accepted and refused responses, and what the register image keeps.
#include <gtest/gtest.h>

#include "EmulatorHarness.h"
#include "TestSystem.h"
#include "common/CallbackRecorder.h"
#include "desc/MapAccess.h"

using namespace orvex_test;

namespace {

class RegisterProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ConfigureEmulator("fpga = configured\nregister = 0x00:0x42\nregister = 0x10:0x33\n");
    ASSERT_EQ(system.Connect(2), 0);
    Emulator()->logClear();
  }

  std::vector<OrvexEmuEvent> CommandWrites() { return EmulatorEvents(ORVEX_EMU_BULK_WRITE, 0x01); }
  uint8_t DeviceRegister(uint8_t address) {
    uint8_t bank[256];
    Emulator()->registers(0, bank);
    return bank[address];
  }

  TestSystem system;
  CallbackRecorder recorder;
};

TEST_F(RegisterProtocolTest, WriteSendsOnePacketAndAcceptsTheAcknowledgement) {
  EXPECT_EQ(system.camera().SetReg(0x10, 0x05), 0);
  auto writes = CommandWrites();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(EventData(writes[0]), Packet({0xAB, 0x07, 0x80, 0x10, 0x05}));
  EXPECT_EQ(DeviceRegister(0x10), 0x05);
  EXPECT_EQ(system.camera().GetRegImage(0x10), 0x05);
  EXPECT_TRUE(recorder.texts().empty());
}

TEST_F(RegisterProtocolTest, RefusedOrLostWriteIsReportedAndTheImageKeepsTheValue) {
  Emulator()->set(0, "nak_responses", "1");
  system.camera().SetReg(0x10, 0x06);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "CPelCam::SetReg(): failed"));
  EXPECT_EQ(system.camera().GetRegImage(0x10), 0x06);

  // A lost response must not pass for an acknowledgement, even for register
  // 8 whose request byte 3 looks like one.
  recorder.clear();
  system.camera().SizeRegisterImage(0x20);
  Emulator()->set(0, "drop_responses", "1");
  system.camera().SetReg(0x08, 0x01);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "CPelCam::SetReg(): failed"));
}

TEST_F(RegisterProtocolTest, ReadThroughAsksTheDeviceAndLeavesTheImage) {
  system.camera().regImage[kStatusReg] = 0x11;
  EXPECT_EQ(system.camera().GetReg(kStatusReg), 0x42);
  auto writes = CommandWrites();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(EventData(writes[0]), Packet({0xAB, 0x07, 0x81, 0x00}));
  EXPECT_EQ(system.camera().GetRegImage(kStatusReg), 0x11);
}

TEST_F(RegisterProtocolTest, CachedRegisterNeverTouchesUsb) {
  system.camera().regImage[kPlainReg] = 0x77;
  EXPECT_EQ(system.camera().GetReg(kPlainReg), 0x77);
  EXPECT_TRUE(EmulatorLog().empty());
}

TEST_F(RegisterProtocolTest, RefusedReadIsReported) {
  Emulator()->set(0, "nak_responses", "1");
  system.camera().GetReg(kStatusReg);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "CPelCam::GetReg(): failed"));
  recorder.clear();
  Emulator()->set(0, "drop_responses", "1");
  EXPECT_EQ(system.camera().GetReg(kStatusReg), 0);  // nothing arrived: byte 4 of the request
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "CPelCam::GetReg(): failed"));
}

TEST_F(RegisterProtocolTest, ReadAllFillsTheImageAndTheMapCache) {
  Emulator()->setRegister(0, kWideLowReg, 0x34);
  Emulator()->setRegister(0, kWideHighReg, 0x12);
  ASSERT_EQ(system.camera().GetAllReg(), 0);
  auto writes = CommandWrites();
  // Four registers, then the read-through status map asks once more.
  ASSERT_EQ(writes.size(), 5u);
  const uint8_t order[] = {kStatusReg, kPlainReg, kWideLowReg, kWideHighReg, kStatusReg};
  for (size_t i = 0; i < writes.size(); ++i) EXPECT_EQ(writes[i].data[3], order[i]) << i;
  EXPECT_EQ(system.camera().GetRegImage(kPlainReg), 0x33);
  EXPECT_EQ(system.WideMap()->cachedValue, 0x1234u);
  EXPECT_EQ(system.StatusMap()->cachedValue, 0x42u);
}

TEST_F(RegisterProtocolTest, ReadAllStopsAtTheFirstRefusal) {
  system.camera().regImage[kWideLowReg] = 0x99;
  system.camera().regImage[kWideHighReg] = 0x98;
  // The third response is lost: the shared buffer still holds the second
  // one, whose acknowledgement must not count for the third register.
  Emulator()->set(0, "drop_responses", "2+1");
  EXPECT_EQ(system.camera().GetAllReg(), -1);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "CPelCam::GetAllReg(): reg[17]=51 failed"));
  EXPECT_EQ(CommandWrites().size(), 3u);
  EXPECT_EQ(system.camera().GetRegImage(kPlainReg), 0x33);
  EXPECT_EQ(system.camera().GetRegImage(kWideLowReg), 0x99);
  EXPECT_EQ(system.camera().GetRegImage(kWideHighReg), 0x98);
}

TEST(RegisterProtocolOther, UnsupportedProtocolWarnsAndSendsNothing) {
  ConfigureEmulator("fpga = configured\n");
  TestSystemOptions options;
  options.protocol = 1;
  TestSystem system(options);
  ASSERT_EQ(system.Connect(2), 0);
  Emulator()->logClear();
  CallbackRecorder recorder;
  EXPECT_EQ(system.camera().GetAllReg(), 0);
  system.camera().SetReg(kPlainReg, 1);
  system.camera().regImage[kStatusReg] = 0x21;
  EXPECT_EQ(system.camera().GetReg(kStatusReg), 0x21);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x402, "CPelCam::GetAllReg(): Unsupported USB Protocol"));
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x402, "CPelCam::SetReg(): Unsupported USB Protocol"));
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x402, "CPelCam::GetReg(): Unsupported USB Protocol"));
  EXPECT_TRUE(EmulatorEvents(ORVEX_EMU_BULK_WRITE).empty());
}

TEST(RegisterProtocolOther, MapWriteSpreadsOverRegistersAsSeparatePackets) {
  ConfigureEmulator("fpga = configured\n");
  TestSystem system;
  ASSERT_EQ(system.Connect(2), 0);
  Emulator()->logClear();
  orvex::SetMapValue(system.camera(), system.WideMap(), 0xBEEF);
  auto writes = EmulatorEvents(ORVEX_EMU_BULK_WRITE, 0x01);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(EventData(writes[0]), Packet({0xAB, 0x07, 0x80, kWideLowReg, 0xEF}));
  EXPECT_EQ(EventData(writes[1]), Packet({0xAB, 0x07, 0x80, kWideHighReg, 0xBE}));
  EXPECT_EQ(orvex::GetMapValue(system.camera(), system.WideMap()), 0xBEEFu);
}

TEST(RegisterProtocolOther, UnconnectedSystemOnlyChangesTheImage) {
  TestSystem system;
  ConfigureEmulator("fpga = configured\n");
  system.camera().SetReg(kPlainReg, 9);
  EXPECT_EQ(system.camera().GetReg(kStatusReg), 0);
  EXPECT_EQ(system.camera().GetAllReg(), 0);
  EXPECT_EQ(system.camera().GetRegImage(kPlainReg), 9);
  EXPECT_TRUE(EmulatorLog().empty());
}

}  // namespace
