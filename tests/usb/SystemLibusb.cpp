// libOrvex against the system's libusb-0.1 with no camera attached: every
// path must end cleanly in "nothing found".
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "Orvex.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"

namespace {

bool SystemLibraryPresent() {
  void* library = dlopen("libusb-0.1.so.4", RTLD_NOW);
  return library != nullptr;
}

bool EmulatorLoaded() {
  void* library = dlopen("libusb-0.1.so.4", RTLD_NOW | RTLD_NOLOAD);
  return library && dlsym(library, "orvex_emu_configure");
}

TEST(SystemLibusb, NoCameraMeansNoSerials) {
  char buffer[17 * 4] = {};
  EXPECT_EQ(QV_GetSerials(buffer), 0u);
  EXPECT_FALSE(EmulatorLoaded()) << "this test must run against the system's libusb";
}

TEST(SystemLibusb, ServicesWithoutDeviceFailCleanly) {
  if (!SystemLibraryPresent()) GTEST_SKIP() << "libusb-0.1-4 is not installed";
  orvex_test::CallbackRecorder recorder;
  char serial[17] = "x";
  EXPECT_EQ(QV_InternalFunc(IF_ReadSerial, serial), 0);
  EXPECT_STREQ(serial, "");
  uint8_t eeprom[100];
  EXPECT_EQ(QV_InternalFunc(IF_ReadFX2_EEPROM, 0u, eeprom, 100u), -1);
  EXPECT_EQ(QV_InternalFunc(IF_WriteSerial, "ABC"), 0);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "failed to write Serial Number\nprobably wrong FX2-Firmware"));
}

}  // namespace

namespace {

TEST(SystemLibusb, OpeningTheCameraFindsNone) {
  if (!SystemLibraryPresent()) GTEST_SKIP() << "libusb-0.1-4 is not installed";
  orvex_test::TempDataFolder folder;
  folder.CopyShippedData();
  orvex_test::CallbackRecorder recorder;
  QV_Handle handle = reinterpret_cast<QV_Handle>(1);
  EXPECT_EQ(QV_Open(&handle, 0, "sys=k7cam_tq20"), 0);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(orvex::OpenSystemCount(), 0u);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "CFactory::BuildSysVA(): Could not open any USB device"));
}

}  // namespace
