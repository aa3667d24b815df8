// The library against the emulated camera: acquisitions over USB, a recording
// of them, and its replay through open mode 1.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

#include "AcqFixture.h"
#include "Orvex.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/RecordingDesktop.h"
#include "common/TempDataFolder.h"
#include "api/Factory.h"
#include "core/PelSys.h"
#include "desc/NameLookup.h"
#include "usb/OpenUsb.h"

using orvex_test::CallbackRecorder;

namespace {

using Bytes = std::vector<uint8_t>;
const char* const kOpenString = "sys=k7cam_tq20";
constexpr uint32_t kA16Z16Bytes = 329216;

struct EmulatorControl {
  void* lib = nullptr;
  int (*configure)(const char*, char*, size_t) = nullptr;
  int (*set)(int, const char*, const char*) = nullptr;
  int (*registers)(int, uint8_t*) = nullptr;
  size_t (*logSize)() = nullptr;
  void (*logClear)() = nullptr;
  bool Load() {
    // Loaded by path first, so that the library's own load by soname finds it.
    lib = dlopen(ORVEX_EMULATOR_DIR "/libusb-0.1.so.4", RTLD_NOW | RTLD_GLOBAL);
    if (!lib) return false;
    configure = reinterpret_cast<decltype(configure)>(dlsym(lib, "orvex_emu_configure"));
    set = reinterpret_cast<decltype(set)>(dlsym(lib, "orvex_emu_set"));
    registers = reinterpret_cast<decltype(registers)>(dlsym(lib, "orvex_emu_registers"));
    logSize = reinterpret_cast<decltype(logSize)>(dlsym(lib, "orvex_emu_log_size"));
    logClear = reinterpret_cast<decltype(logClear)>(dlsym(lib, "orvex_emu_log_clear"));
    return configure && set && registers && logSize && logClear;
  }
};

class EmulatorRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!emu.Load()) GTEST_SKIP() << "emulator not built";
    folder.CopyShippedData();
    ASSERT_EQ(emu.configure("fpga = configured\n", nullptr, 0), 0);
  }
  void TearDown() override {
    orvex::CloseAllSystems();
    if (emu.configure) emu.configure(nullptr, nullptr, 0);
  }

  QV_Handle OpenCamera() {
    // The steps of an open in mode 2: build, connect the USB camera, read all registers.
    CallbackRecorder recorder;
    CPelSys* system = CFactory::BuildSystem(kOpenString);
    if (!system) return nullptr;
    EXPECT_TRUE(orvex::ConnectUsbCamera(*system, kOpenString, QV_OPEN_USB_NO_FPGA));
    EXPECT_GE(system->camera->GetAllReg(), 0);
    for (const auto& text : recorder.texts()) ADD_FAILURE() << text;
    return system;
  }
  static void SetMap(QV_Handle h, const char* name, uint32_t value) {
    _Map* map = orvex::FindMap(QV_GetRegDesc(h), name);
    ASSERT_NE(map, nullptr) << name;
    QV_SetMap(h, map, value);
  }
  static Bytes Slot0(QV_Handle h, size_t n) {
    auto* data = static_cast<uint8_t*>(QV_GetCamData(h, 0, 0, nullptr)->data);
    return Bytes(data, data + n);
  }

  EmulatorControl emu;
  orvex_test::TempDataFolder folder;
  orvex_test::ScopedRecordingDesktop desktop;
};

TEST_F(EmulatorRecordingTest, ARecordingReplaysByteForByteAndStartsOver) {
  QV_Handle cam = OpenCamera();
  ASSERT_NE(cam, nullptr);
  SetMap(cam, "CamMode", 4);
  SetMap(cam, "SensNFrames", 8);
  std::string path = folder.ScratchPath("camera.qv");
  ASSERT_EQ(QV_CreateStreamFile(cam, path.c_str()), 0);
  uint8_t device[256];
  emu.registers(0, device);

  std::vector<Bytes> acquired;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(QV_Acquire(cam), static_cast<int32_t>(kA16Z16Bytes));
    acquired.push_back(Slot0(cam, kA16Z16Bytes));
    if (i == 0) SetMap(cam, "DdsGain", 2);  // one register write, recorded
    if (i == 1) {
      char note[6] = "hello";
      QV_StreamObject object{0x100, 6, note};
      ASSERT_EQ(QV_FileStreamCmd(cam, 6, 0, &object), 14);
    }
  }
  // The sensor's header and scene came through the transfer.
  EXPECT_EQ(acquired[0][2] | acquired[0][3] << 8, 0x5AA5);
  EXPECT_EQ(acquired[0][2048 + 2] | acquired[0][2048 + 3] << 8, 256) << "depth of pixel (0, 0) in 1/32 frame";
  EXPECT_NE(acquired[0], acquired[1]) << "every acquisition has its own header";
  ASSERT_EQ(QV_CreateStreamFile(cam, nullptr), 0);

  const size_t L = std::strlen(kOpenString), R = QV_GetRegDesc(cam)->regCount;
  EXPECT_EQ(acq_test::ReadFileBytes(path).size(),
            8 + (12 + L) + (8 + 2 * R) + 3 * (8 + kA16Z16Bytes) + 10 + (8 + 6));
  QV_Close(cam);

  CallbackRecorder recorder(true);
  QV_Handle replay = nullptr;
  ASSERT_EQ(QV_Open(&replay, QV_OPEN_STREAM, path.c_str()), 1);
  EXPECT_EQ(QV_GetReg(replay, 0x03), device[0x03]) << "registers from the snapshot";
  EXPECT_EQ(QV_GetReg(replay, 0x10), 8);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(QV_Acquire(replay), static_cast<int32_t>(kA16Z16Bytes)) << i;
    EXPECT_EQ(Slot0(replay, kA16Z16Bytes), acquired[i]) << i;
  }
  EXPECT_EQ(QV_Acquire(replay), -2);
  EXPECT_TRUE(recorder.contains(1, 0x702, "CPelCam::ReadData(): CQVFileIO::IO_EOF!"));
  ASSERT_EQ(QV_Acquire(replay), static_cast<int32_t>(kA16Z16Bytes));
  EXPECT_EQ(Slot0(replay, kA16Z16Bytes), acquired[0]);
  QV_Close(replay);

  // A stream that is no stream fails the open and leaves nothing behind.
  acq_test::WriteFileBytes(path, Bytes{'q', 'v', 'I', 'O', 2, 0, 0, 0});
  size_t before = orvex::OpenSystemCount();
  EXPECT_EQ(QV_Open(&replay, QV_OPEN_STREAM, path.c_str()), 0);
  EXPECT_EQ(replay, nullptr);
  EXPECT_TRUE(recorder.contains(1, 0x402, "CPelCam::SetInterfaceStream(): Stream has wrong signature"));
  EXPECT_EQ(orvex::OpenSystemCount(), before);
}

TEST_F(EmulatorRecordingTest, EmptyShortAndFailedTransfers) {
  QV_Handle cam = OpenCamera();
  ASSERT_NE(cam, nullptr);
  SetMap(cam, "CamMode", 4);
  CallbackRecorder recorder;

  ASSERT_EQ(emu.set(0, "zero_reads", "3"), 0);
  EXPECT_EQ(QV_Acquire(cam), static_cast<int32_t>(kA16Z16Bytes)) << "empty transfers are retried";
  emu.set(0, "short_reads", "1");
  EXPECT_EQ(QV_Acquire(cam), static_cast<int32_t>(kA16Z16Bytes / 2)) << "the bytes transferred";
  emu.set(0, "read_errors", "1");
  EXPECT_LT(QV_Acquire(cam), 0) << "errors are not retried";
  EXPECT_EQ(QV_Acquire(cam), static_cast<int32_t>(kA16Z16Bytes));

  // A device that only ever answers empty ends as a time-out, not a hang.
  ASSERT_EQ(emu.set(0, "zero_reads", "always"), 0);
  EXPECT_EQ(QV_Acquire(cam), -110);
  emu.set(0, "zero_reads", "0");

  // Without a valid data mode nothing is asked of the device.
  SetMap(cam, "CamMode", 6);
  emu.logClear();
  EXPECT_EQ(QV_Acquire(cam), 0);
  EXPECT_EQ(emu.logSize(), 0u);
}

TEST_F(EmulatorRecordingTest, AWaitForAnExternalTriggerDeliversNothing) {
  ASSERT_EQ(emu.configure("fpga = configured\nscene = step trigger=off\n", nullptr, 0), 0);
  QV_Handle cam = OpenCamera();
  ASSERT_NE(cam, nullptr);
  SetMap(cam, "CamMode", 4);
  SetMap(cam, "TrigFreeExtN", 0);
  EXPECT_EQ(QV_Acquire(cam), -110);
  SetMap(cam, "TrigFreeExtN", 1);
  EXPECT_EQ(QV_Acquire(cam), static_cast<int32_t>(kA16Z16Bytes));
}

}  // namespace
