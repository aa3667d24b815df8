// Boot header, RAM upload sequence, firmware paths and the controller that
// comes to life after an upload.
#include <gtest/gtest.h>

#include <filesystem>

#include "EmulatorHarness.h"
#include "Images.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"
#include "usb/DeviceSearch.h"
#include "usb/Firmware.h"
#include "usb/UsbInterface.h"
#include "usb/UsbLibrary.h"

using namespace orvex_test;

namespace {

std::vector<uint8_t> OneRecordImage() {
  std::vector<uint8_t> image = {0xC2, 0x52, 0x08, 0x81, 0x00, 0x01, 0x00, 0x04};
  image.insert(image.end(), {0x00, 0x10, 0x00, 0x00});
  for (uint8_t i = 0; i < 16; ++i) image.push_back(i);
  image.insert(image.end(), {0x80, 0x01, 0xE6, 0x00, 0x00});
  return image;
}

TEST(BootHeader, ReportsWhatTheImageIs) {
  CallbackRecorder recorder;
  uint8_t empty[8] = {0x00};
  EXPECT_EQ(orvex::CheckBootHeader(empty, sizeof empty), 0);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x301, "Bootbyte buf[0]==0x00. Camera will boot as CypressFx2 device"));
  std::vector<uint8_t> image = OneRecordImage();
  EXPECT_EQ(orvex::CheckBootHeader(image.data(), image.size()), 0);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x300, "VID   : 0x0852\nPID   : 0x0081\nDEVID : 0x0001\nCONFIG: 0x04\n"));
  uint8_t other[8] = {0xC0};
  EXPECT_EQ(orvex::CheckBootHeader(other, sizeof other), -1);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "Bootbyte warning buf[0]!=0xC2 : 192"));
  // A C2 byte without the rest of the header is not read beyond its end.
  EXPECT_EQ(orvex::CheckBootHeader(image.data(), 3), -1);
  EXPECT_EQ(orvex::CheckBootHeader(image.data(), 0), -1);
}

class RamUpload : public ::testing::Test {
 protected:
  void SetUp() override {
    ConfigureEmulator("eeprom = blank\n");
    ASSERT_EQ(orvex::LoadUsbLibrary(), 0);
    usb.device = orvex::FindCameraDevice({});
    ASSERT_NE(usb.device, nullptr);
    Emulator()->logClear();
  }

  static std::vector<OrvexEmuEvent> Controls() { return EmulatorEvents(ORVEX_EMU_CONTROL); }

  CallbackRecorder recorder;
  orvex::CUsbInterface usb;
};

TEST_F(RamUpload, OneRecordImageIsResetWriteReleaseAndDeviceReset) {
  std::vector<uint8_t> image = OneRecordImage();
  EXPECT_EQ(orvex::UploadToControllerRam(usb, image.data(), image.size()), 0);
  auto controls = Controls();
  ASSERT_EQ(controls.size(), 3u);
  EXPECT_EQ(controls[0].requestType, 0x40);
  EXPECT_EQ(controls[0].request, 0xA0);
  EXPECT_EQ(controls[0].value, 0xE600);
  EXPECT_EQ(EventData(controls[0]), std::vector<uint8_t>{1});
  EXPECT_EQ(controls[1].value, 0);
  EXPECT_EQ(controls[1].index, 0);
  EXPECT_EQ(EventData(controls[1]), std::vector<uint8_t>(image.begin() + 12, image.begin() + 28));
  EXPECT_EQ(controls[2].value, 0xE600);
  EXPECT_EQ(EventData(controls[2]), std::vector<uint8_t>{0});
  auto log = EmulatorLog();
  EXPECT_EQ(log.back().kind, uint32_t(ORVEX_EMU_RESET));
}

TEST_F(RamUpload, RecordsReachingTheEndAreNotSent) {
  std::vector<uint8_t> image = OneRecordImage();
  image.resize(8 + 4 + 16);  // the record ends exactly at the end
  orvex::UploadToControllerRam(usb, image.data(), image.size());
  EXPECT_EQ(Controls().size(), 2u);
  Emulator()->logClear();
  // A header cut in the middle and a length far past the end.
  std::vector<uint8_t> broken = {0xC2, 0, 0, 0, 0, 0, 0, 0, 0x7F, 0xFF, 0x00, 0x00, 1, 2};
  orvex::UploadToControllerRam(usb, broken.data(), broken.size());
  EXPECT_EQ(Controls().size(), 2u);
  broken.resize(10);
  orvex::UploadToControllerRam(usb, broken.data(), broken.size());
}

TEST_F(RamUpload, OurFirmwareBringsTheCameraUpUnderItsOwnIdentity) {
  TempDataFolder folder;
  std::vector<uint8_t> image = orvex_emu::BuildC2Image({}, "NEWCAM");
  folder.WriteFile("devDesc/i2c/fw.iic", std::string(image.begin(), image.end()));
  usb_dev_handle* device = usb.device;
  EXPECT_EQ(orvex::LoadAndUploadFirmware("fw.iic", device), 0);
  EXPECT_EQ(usb.device, device);  // a passed device stays the caller's
  orvex::ReleaseAndClose(usb.Detach());
  EXPECT_EQ(Emulator()->firmwareRunning(0), 1);
  char serials[17];
  ASSERT_EQ(QV_GetSerials(serials), 1u);
  EXPECT_STREQ(serials, "NEWCAM");
}

TEST(FirmwareFile, PathRules) {
  TempDataFolder folder;
  EXPECT_EQ(orvex::FirmwarePath("C:\\fw\\a.iic"), "C:\\fw\\a.iic");
  EXPECT_EQ(orvex::FirmwarePath("/opt/fw/a.iic"), "/opt/fw/a.iic");
  EXPECT_EQ(orvex::FirmwarePath("a.iic"), folder.devDesc() + "/i2c/a.iic");
  EXPECT_EQ(orvex::FirmwarePath(std::string(400, 'a').c_str()).size(), 259u);
}

TEST(FirmwareFile, MissingFileIsReportedAndNothingIsSent) {
  ConfigureEmulator("eeprom = blank\n");
  TempDataFolder folder;
  CallbackRecorder recorder;
  EXPECT_EQ(QV_InternalFunc(IF_WriteFX2_RAM, "none.iic", nullptr), -1);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302,
                                "CPelCam::WriteToRam(): failed to load file " + folder.devDesc() + "/i2c/none.iic"));
  EXPECT_TRUE(EmulatorEvents(ORVEX_EMU_CONTROL).empty());
  EXPECT_EQ(Emulator()->firmwareRunning(0), 0);
}

TEST(FirmwareFile, InternalFunctionUploadsToTheFirstDeviceWhenGivenNone) {
  ConfigureEmulator("eeprom = blank\n");
  TempDataFolder folder;
  folder.CopyShippedData();
  CallbackRecorder recorder;
  // A stray second argument that is no device of ours is not used.
  EXPECT_EQ(QV_InternalFunc(IF_WriteFX2_RAM, "k7_fx2.iic", reinterpret_cast<void*>(0x1234)), 0);
  EXPECT_EQ(Emulator()->firmwareRunning(0), 1);
  EXPECT_EQ(EmulatorEvents(ORVEX_EMU_CLOSE).size(), 1u);  // the device it took is closed again
}

TEST(FirmwareFile, TruncatedShippedFirmwareDoesNotStart) {
  ConfigureEmulator("eeprom = blank\n");
  TempDataFolder folder;
  folder.CopyShippedData();
  std::string path = folder.devDesc() + "/i2c/k7_fx2.iic";
  std::filesystem::resize_file(path, 1000);
  EXPECT_EQ(QV_InternalFunc(IF_WriteFX2_RAM, path.c_str(), nullptr), 0);
  EXPECT_EQ(Emulator()->firmwareRunning(0), 0);
}

}  // namespace
