// Device selection keys, the search over two cameras and the serial listing.
#include <gtest/gtest.h>

#include <cstring>

#include "EmulatorHarness.h"
#include "Orvex.h"
#include "usb/DeviceSearch.h"
#include "usb/UsbInterface.h"
#include "usb/UsbLibrary.h"

using namespace orvex_test;
using orvex::DeviceSelection;
using orvex::ParseDeviceSelection;

namespace {

TEST(DeviceSelectionKeys, FirstOfSerialAndVerboseWins) {
  DeviceSelection s = ParseDeviceSelection("sys=k7cam_tq20 serial=AB12 verbose=3");
  EXPECT_TRUE(s.filterBySerial);
  EXPECT_EQ(s.serial, "AB12");
  EXPECT_EQ(s.verbose, 0);

  s = ParseDeviceSelection("sys=k7cam_tq20 verbose=-7x serial=AB12");
  EXPECT_FALSE(s.filterBySerial);
  EXPECT_EQ(s.verbose, -7);

  s = ParseDeviceSelection("verbose=abc");
  EXPECT_EQ(s.verbose, 0);
  s = ParseDeviceSelection("serial=XY");
  EXPECT_EQ(s.serial, "XY");
  s = ParseDeviceSelection("sys=k7cam_tq20");
  EXPECT_FALSE(s.filterBySerial);
  EXPECT_EQ(s.verbose, 0);
  EXPECT_FALSE(ParseDeviceSelection(nullptr).filterBySerial);
}

TEST(DeviceSelectionKeys, OverlongSerialCannotMatch) {
  std::string serial(32, 'S');
  DeviceSelection s = ParseDeviceSelection(("serial=" + serial).c_str());
  EXPECT_TRUE(s.serialTooLong);
  EXPECT_FALSE(ParseDeviceSelection(("serial=" + serial.substr(1)).c_str()).serialTooLong);
}

class TwoCameras : public ::testing::Test {
 protected:
  void SetUp() override {
    ConfigureEmulator("cameras = 2\n[camera 0]\nserial = CAM-A\n[camera 1]\nserial = CAM-BB\n");
    ASSERT_EQ(orvex::LoadUsbLibrary(), 0);
  }

  // The camera index behind an open device, from the emulator's log.
  static int CameraOfLastOpen() {
    auto opens = EmulatorEvents(ORVEX_EMU_CLAIM);
    return opens.empty() ? -1 : opens.back().camera;
  }

  static std::vector<int> DebugLevels() {
    std::vector<int> levels;
    for (const OrvexEmuEvent& e : EmulatorEvents(ORVEX_EMU_SET_DEBUG)) levels.push_back(e.value);
    return levels;
  }
};

TEST_F(TwoCameras, SerialFilterSelectsTheMatchingCamera) {
  orvex::CUsbInterface usb(orvex::FindCameraDevice(ParseDeviceSelection("sys=x serial=CAM-BB")));
  ASSERT_NE(usb.device, nullptr);
  EXPECT_EQ(CameraOfLastOpen(), 1);
  EXPECT_TRUE(DebugLevels().empty());
  // The first camera was opened, asked for its serial and closed again.
  auto strings = EmulatorEvents(ORVEX_EMU_GET_STRING);
  ASSERT_EQ(strings.size(), 2u);
  EXPECT_EQ(strings[0].camera, 0);
  EXPECT_EQ(strings[0].value, 0);  // language 0
  EXPECT_EQ(strings[0].length, 256u);
}

TEST_F(TwoCameras, SerialOfAnotherLengthNeverMatches) {
  EXPECT_EQ(orvex::FindCameraDevice(ParseDeviceSelection("serial=CAM-")), nullptr);
  EXPECT_EQ(orvex::FindCameraDevice(ParseDeviceSelection("serial=CAM-AB")), nullptr);
  EXPECT_EQ(orvex::FindCameraDevice(ParseDeviceSelection(("serial=" + std::string(40, 'C')).c_str())), nullptr);
}

TEST_F(TwoCameras, VerboseBeforeSerialTakesTheFirstCameraLoudly) {
  orvex::CUsbInterface usb(orvex::FindCameraDevice(ParseDeviceSelection("verbose=1 serial=CAM-BB")));
  ASSERT_NE(usb.device, nullptr);
  EXPECT_EQ(CameraOfLastOpen(), 0);
  EXPECT_EQ(DebugLevels(), (std::vector<int>{255, 0}));
}

TEST_F(TwoCameras, ClaimedCameraIsSkipped) {
  orvex::CUsbInterface first(orvex::FindCameraDevice({}));
  ASSERT_NE(first.device, nullptr);
  orvex::CUsbInterface second(orvex::FindCameraDevice({}));
  ASSERT_NE(second.device, nullptr);
  EXPECT_EQ(CameraOfLastOpen(), 1);
  EXPECT_EQ(orvex::FindCameraDevice({}), nullptr);
}

TEST_F(TwoCameras, SerialsAreListedInBusOrder) {
  char buffer[17 * 2];
  std::memset(buffer, 'x', sizeof buffer);
  ASSERT_EQ(QV_GetSerials(buffer), 2u);
  EXPECT_STREQ(buffer, "CAM-A");
  EXPECT_STREQ(buffer + 17, "CAM-BB");
  EXPECT_TRUE(EmulatorEvents(ORVEX_EMU_CLAIM).empty());
  EXPECT_EQ(EmulatorEvents(ORVEX_EMU_CLOSE).size(), 2u);
}

TEST(SerialListing, ControllerWithoutSerialStringAndForeignDevices) {
  ConfigureEmulator(
      "cameras = 3\n[camera 0]\neeprom = blank\n[camera 1]\nidentity = 0x1234:0x0001\n"
      "[camera 2]\nserial = 0123456789ABCDEFGH\n");
  char buffer[17 * 3];
  std::memset(buffer, 'x', sizeof buffer);
  ASSERT_EQ(QV_GetSerials(buffer), 2u);
  EXPECT_STREQ(buffer, "0");                      // bare FX2: no serial string
  EXPECT_STREQ(buffer + 17, "0123456789ABCDEF");  // 16 characters at most
  // Only counting is safe without a buffer.
  EXPECT_EQ(QV_GetSerials(nullptr), 2u);
}

TEST(SerialListing, BareControllerNeverMatchesASerialFilter) {
  ConfigureEmulator("eeprom = blank\n");
  ASSERT_EQ(orvex::LoadUsbLibrary(), 0);
  EXPECT_EQ(orvex::FindCameraDevice(ParseDeviceSelection("serial=")), nullptr);
  orvex::CUsbInterface usb(orvex::FindCameraDevice({}));
  EXPECT_TRUE(orvex::IsBareController(usb.device));
}

}  // namespace
