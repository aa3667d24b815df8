// EEPROM read and write packet sequences, progress, and the serial services.
#include <gtest/gtest.h>

#include <cstring>

#include "EmulatorHarness.h"
#include "Images.h"
#include "TestSystem.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"
#include "usb/DeviceSearch.h"
#include "usb/Eeprom.h"
#include "usb/UsbInterface.h"
#include "usb/UsbLibrary.h"

using namespace orvex_test;

namespace {

std::vector<std::vector<uint8_t>> CommandPackets() {
  std::vector<std::vector<uint8_t>> packets;
  for (const OrvexEmuEvent& e : EmulatorEvents(ORVEX_EMU_BULK_WRITE, 0x01)) packets.push_back(EventData(e));
  return packets;
}

std::vector<uint32_t> ProgressValues(const CallbackRecorder& recorder) {
  std::vector<uint32_t> values;
  for (const auto& m : recorder.messages())
    if (m.kind == QV_MSG_PROGRESS) values.push_back(m.value);
  return values;
}

class EepromTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ConfigureEmulator("");
    ASSERT_EQ(orvex::LoadUsbLibrary(), 0);
    usb.device = orvex::FindCameraDevice({});
    ASSERT_NE(usb.device, nullptr);
    Emulator()->logClear();
  }

  std::vector<uint8_t> DeviceEeprom(uint32_t address, uint32_t count) {
    std::vector<uint8_t> bytes(count);
    Emulator()->readEeprom(0, address, bytes.data(), count);
    return bytes;
  }

  CallbackRecorder recorder;
  orvex::CUsbInterface usb;
};

TEST_F(EepromTest, ReadGoesIn48ByteChunks) {
  uint8_t buffer[100];
  ASSERT_EQ(orvex::EepromRead(usb, 0, buffer, sizeof buffer), 0);
  auto packets = CommandPackets();
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[0], Packet({0xAB, 0x0D, 0x80, 0x51, 0x30, 0x00, 0x00}, 0xCD));
  EXPECT_EQ(packets[1], Packet({0xAB, 0x0D, 0x80, 0x51, 0x30, 0x00, 0x30}, 0xCD));
  EXPECT_EQ(packets[2], Packet({0xAB, 0x0D, 0x80, 0x51, 0x04, 0x00, 0x60}, 0xCD));
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 100), DeviceEeprom(0, 100));
  EXPECT_EQ(orvex::EepromRead(usb, 0, nullptr, 0), 0);
}

TEST_F(EepromTest, UnacknowledgedOrLostChunkFailsTheRead) {
  uint8_t buffer[100];
  Emulator()->set(0, "nak_responses", "1+1");
  EXPECT_EQ(orvex::EepromRead(usb, 0, buffer, sizeof buffer), -1);
  // A lost response leaves the previous one in the buffer: still a failure.
  Emulator()->set(0, "drop_responses", "1+1");
  EXPECT_EQ(orvex::EepromRead(usb, 0, buffer, sizeof buffer), -1);
}

TEST_F(EepromTest, WriteOfAHundredByteImage) {
  std::vector<uint8_t> image(100);
  for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i + 1);
  image[0] = 0xC2;
  ASSERT_EQ(orvex::EepromWrite(usb, 0, image.data(), uint32_t(image.size())), 0);
  auto packets = CommandPackets();
  ASSERT_EQ(packets.size(), 7u);  // three chunks with read-back, then the boot byte
  EXPECT_EQ(std::vector<uint8_t>(packets[0].begin(), packets[0].begin() + 9),
            (std::vector<uint8_t>{0xAB, 0x0E, 0x80, 0x51, 48, 0x00, 0x00, 0x00, 0x02}));
  EXPECT_EQ(packets[1][1], 0x0D);
  EXPECT_EQ(packets[2][4], 48);
  EXPECT_EQ(packets[2][6], 0x30);
  EXPECT_EQ(packets[4][4], 4);
  EXPECT_EQ(packets[4][6], 0x60);
  EXPECT_EQ(packets[4][11], image[52]);  // behind the 4 data bytes: what the chunk before left
  EXPECT_EQ(std::vector<uint8_t>(packets[6].begin(), packets[6].begin() + 8),
            (std::vector<uint8_t>{0xAB, 0x0E, 0x80, 0x51, 1, 0, 0, 0xC2}));
  EXPECT_EQ(DeviceEeprom(0, 100), image);
  EXPECT_EQ(image[0], 0xC2);  // the caller's image is whole again
  EXPECT_EQ(ProgressValues(recorder), (std::vector<uint32_t>{0, 48 << 16, 96 << 16, 1}));
}

TEST_F(EepromTest, WriteFailuresStopWithFailed) {
  std::vector<uint8_t> image = orvex_emu::BuildC2Image({}, "X");
  Emulator()->set(0, "eeprom_write_naks", "1+1");
  EXPECT_EQ(orvex::EepromWrite(usb, 0, image.data(), uint32_t(image.size())), -1);
  EXPECT_EQ(recorder.messages().back().value, 1u);
  EXPECT_EQ(recorder.messages().back().text, "Failed");
  // The interrupted write left an EEPROM that does not boot a half image.
  EXPECT_EQ(DeviceEeprom(0, 1)[0], 0x00);

  Emulator()->set(0, "eeprom_readback_errors", "1");
  EXPECT_EQ(orvex::EepromWrite(usb, 0, image.data(), uint32_t(image.size())), -2);

  uint8_t bad[16] = {0x55};
  Emulator()->logClear();
  EXPECT_EQ(orvex::EepromWrite(usb, 0, bad, sizeof bad), -1);
  EXPECT_TRUE(CommandPackets().empty());
}

TEST(InternalFunctions, UnknownCodesDoNothing) {
  ConfigureEmulator("");
  CallbackRecorder recorder;
  EXPECT_EQ(QV_InternalFunc(7), 0);
  EXPECT_EQ(QV_InternalFunc(-1), 0);
  EXPECT_TRUE(EmulatorLog().empty());
  EXPECT_TRUE(recorder.messages().empty());
}

TEST(InternalFunctions, SerialIsWrittenBehindTheSignatureAndAppearsAfterRepower) {
  ConfigureEmulator("serial = OLD\n");
  CallbackRecorder recorder;
  EXPECT_EQ(QV_InternalFunc(IF_WriteSerial, "ABCDEFGHIJKLMNOPQRST"), 0);
  uint32_t signatureAt = 8 + 4 + orvex_emu::kSignatureAt;
  char expected[200];
  std::snprintf(expected, sizeof expected,
                "found string signature at 0x%.4x\nwrote new serial (34 bytes) at 0x%.4x\nRepower camera",
                signatureAt, signatureAt + 28);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x301, expected));
  char serial[17] = "x";
  QV_InternalFunc(IF_ReadSerial, serial);
  EXPECT_STREQ(serial, "OLD");  // until the controller boots again
  Emulator()->replug(0);
  QV_InternalFunc(IF_ReadSerial, serial);
  EXPECT_STREQ(serial, "ABCDEFGHIJKLMNOP");
}

TEST(InternalFunctions, SerialWithoutSignatureIsRefused) {
  ConfigureEmulator("eeprom = blank\n");
  CallbackRecorder recorder;
  EXPECT_EQ(QV_InternalFunc(IF_WriteSerial, "NEW"), 0);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "failed to write Serial Number\nprobably wrong FX2-Firmware"));
  std::vector<uint8_t> eeprom(64);
  Emulator()->readEeprom(0, 0, eeprom.data(), 64);
  EXPECT_EQ(eeprom, std::vector<uint8_t>(64, 0xFF));
  char serial[17] = "x";
  QV_InternalFunc(IF_ReadSerial, serial);  // bare controller: no serial string
  EXPECT_STREQ(serial, "");
}

TEST(InternalFunctions, EepromImageFromFileBootsAfterRepower) {
  // The shipped image carries no serial string; the camera had one before.
  ConfigureEmulator("serial = BEFORE\n");
  TempDataFolder folder;
  folder.CopyShippedData();
  CallbackRecorder recorder;
  EXPECT_EQ(QV_InternalFunc(IF_WriteFX2_EEPROM, "k7_fx2.iic"), 0);
  std::vector<uint8_t> back(16384);
  EXPECT_EQ(QV_InternalFunc(IF_ReadFX2_EEPROM, 0u, back.data(), 16384u), 0);
  EXPECT_EQ(back[0], 0xC2);
  Emulator()->replug(0);
  EXPECT_EQ(Emulator()->firmwareRunning(0), 1);
  char serials[17];
  ASSERT_EQ(QV_GetSerials(serials), 1u);
  EXPECT_STREQ(serials, "0");
  EXPECT_EQ(QV_InternalFunc(IF_WriteFX2_EEPROM, "missing.iic"), -1);
}

TEST(InternalFunctions, BulkTransfersNeedAnOpenUsbSystem) {
  ConfigureEmulator("fpga = configured\n");
  CallbackRecorder recorder;
  uint8_t buffer[4096];
  EXPECT_EQ(QV_InternalFunc(IF_BulkRead, nullptr, 0x82u, buffer, 4096u), -1);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x503, "Illegal Handle!"));
  TestSystem system;
  EXPECT_EQ(QV_InternalFunc(IF_BulkRead, system.system(), 0x82u, buffer, 4096u), -1);  // not connected
  ASSERT_EQ(system.Connect(2), 0);
  EXPECT_GT(QV_InternalFunc(IF_BulkRead, system.system(), 0x82u, buffer, 4096u), 0);
  uint8_t packet[64] = {0xAB, 0x07, 0x81, 0x00};
  EXPECT_EQ(QV_InternalFunc(IF_BulkWrite, system.system(), 0x01u, packet, 64u), 64);
}

TEST(InternalFunctions, TimeoutAndCleanUsbOnAUsbSystem) {
  ConfigureEmulator("fpga = configured\n");
  TestSystem system;
  EXPECT_EQ(QV_SetTimeout(system.system(), 5000), 0);  // not connected
  EXPECT_EQ(QV_CleanUSB(system.system()), 1);
  ASSERT_EQ(system.Connect(2), 0);
  EXPECT_EQ(QV_SetTimeout(system.system(), 5000), 1000);
  EXPECT_EQ(QV_SetTimeout(system.system(), 1000), 5000);
  Emulator()->logClear();
  EXPECT_EQ(QV_CleanUSB(system.system()), 0);
  auto clears = EmulatorEvents(ORVEX_EMU_CLEAR_HALT);
  ASSERT_EQ(clears.size(), 4u);
  EXPECT_EQ(clears[0].endpoint, 0x08u);
  EXPECT_EQ(clears[3].endpoint, 0x82u);
  Emulator()->unplug(0);
  EXPECT_LT(QV_CleanUSB(system.system()), 0);
}

}  // namespace
