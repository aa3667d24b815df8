// The FPGA download: piece sizes, the retry policy with its reports and
// waits, and the cases that send nothing.
#include <gtest/gtest.h>

#include "EmulatorHarness.h"
#include "Images.h"
#include "SleepRecorder.h"
#include "TestSystem.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"
#include "usb/FpgaDownload.h"
#include "usb/UsbInterface.h"

using namespace orvex_test;

namespace {

std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::vector<uint32_t> PieceSizes() {
  std::vector<uint32_t> sizes;
  for (const OrvexEmuEvent& e : EmulatorEvents(ORVEX_EMU_BULK_WRITE, 0x08)) sizes.push_back(e.length);
  return sizes;
}

size_t CountCommands(uint8_t group, uint8_t operation) {
  size_t n = 0;
  for (const OrvexEmuEvent& e : EmulatorEvents(ORVEX_EMU_BULK_WRITE, 0x01))
    if (e.data[1] == group && e.data[2] == operation) ++n;
  return n;
}

class FpgaDownloadTest : public ::testing::Test {
 protected:
  int ConnectWithStream(const std::vector<uint8_t>& stream, uint32_t mode = 0) {
    folder.WriteFile("devDesc/fpga/test.bit", AsText(stream));
    return system.Connect(mode);
  }

  TempDataFolder folder;
  SleepRecorder sleeps;
  CallbackRecorder recorder;
  TestSystem system;
};

TEST_F(FpgaDownloadTest, StreamGoesInPiecesOf16384EndingWithAShortOrEmptyOne) {
  ConfigureEmulator("");
  // 32768 bytes: two full pieces and a zero-length end marker.
  ASSERT_GE(ConnectWithStream(orvex_emu::BuildBitstream(32768 - 16, 1)), 0);
  EXPECT_EQ(PieceSizes(), (std::vector<uint32_t>{16384, 16384, 0}));
  EXPECT_EQ(Emulator()->fpgaConfigured(0), 1);
  EXPECT_TRUE(recorder.texts().empty());
  EXPECT_EQ(sleeps.waits(), (std::vector<uint32_t>{2000}));
}

TEST(FpgaPieces, TwentyThousandBytes) {
  ConfigureEmulator("");
  TempDataFolder folder;
  SleepRecorder sleeps;
  TestSystem system;
  folder.WriteFile("devDesc/fpga/test.bit", AsText(orvex_emu::BuildBitstream(20000 - 16, 2)));
  ASSERT_GE(system.Connect(0), 0);
  EXPECT_EQ(PieceSizes(), (std::vector<uint32_t>{16384, 3616}));
}

TEST_F(FpgaDownloadTest, SuccessAtTheThirdAttemptIsADebugReport) {
  ConfigureEmulator("fpga_verify_failures = 2\n");
  int status = ConnectWithStream(orvex_emu::BuildBitstream(1000, 3));
  EXPECT_GE(status, 0);
  EXPECT_EQ(CountCommands(0x0B, 0x80), 3u);
  EXPECT_EQ(recorder.count(QV_MSG_TEXT), 3u);  // two complete reports and the summary
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x300, "FPGACfgComplete: res 64 bufCmd[3] 1"));
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x300,
                                "FPGA download succeeded. But there were 2 download failure before."));
  // Per failed attempt: configure, complete failure, verify failure; then the last configure.
  EXPECT_EQ(sleeps.waits(), (std::vector<uint32_t>{2000, 200, 200, 2000, 200, 200, 2000}));
}

TEST_F(FpgaDownloadTest, EightFailuresEndTheDownload) {
  ConfigureEmulator("fpga_verify_failures = always\n");
  EXPECT_EQ(ConnectWithStream(orvex_emu::BuildBitstream(1000, 4)), -1);
  EXPECT_EQ(CountCommands(0x0B, 0x80), 8u);
  EXPECT_EQ(CountCommands(0x0B, 0x82), 8u);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "FPGA download failed: tried 8 times."));
  // Every verification ran with the short time-out and the old one came back.
  EXPECT_EQ(system.camera().usb->timeoutMs, 1000u);
}

TEST_F(FpgaDownloadTest, CorruptOrTruncatedStreamIsRejectedByTheCamera) {
  ConfigureEmulator("");
  std::vector<uint8_t> stream = orvex_emu::BuildBitstream(5000, 5);
  stream.resize(stream.size() - 1);
  EXPECT_EQ(ConnectWithStream(stream), -1);
  EXPECT_EQ(Emulator()->fpgaConfigured(0), 0);
  EXPECT_EQ(Emulator()->fpgaDownloads(0), 8);
}

TEST_F(FpgaDownloadTest, Mode2AndMissingConfigurationSendNothing) {
  ConfigureEmulator("fpga = configured\n");
  EXPECT_EQ(ConnectWithStream(orvex_emu::BuildBitstream(100, 6), 2), 0);
  EXPECT_TRUE(PieceSizes().empty());
  EXPECT_TRUE(EmulatorEvents(ORVEX_EMU_BULK_WRITE, 0x01).empty());
  EXPECT_EQ(system.camera().interfaceKind, uint32_t(orvex::kUsbDevice));
  EXPECT_EQ(system.camera().usb->timeoutMs, 1000u);

  TestSystemOptions options;
  options.fpgaCfg = nullptr;
  TestSystem withoutConfiguration(options);
  ConfigureEmulator("");
  EXPECT_EQ(withoutConfiguration.Connect(0), 0);
  EXPECT_TRUE(PieceSizes().empty());
}

TEST_F(FpgaDownloadTest, MissingFileIsReported) {
  ConfigureEmulator("");
  EXPECT_EQ(system.Connect(0), -1);
  std::string expected = "CPelCam::SetInterfaceUSB(): failed to load file " + folder.devDesc() + "/fpga/test.bit";
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, expected));
}

TEST_F(FpgaDownloadTest, WithoutDeviceEveryStartFails) {
  orvex::CUsbInterface none;
  std::vector<uint8_t> stream(10, 0);
  EXPECT_EQ(orvex::DownloadFpga(none, stream.data(), stream.size(), 0), -1);
  EXPECT_EQ(recorder.count(QV_MSG_TEXT), 9u);
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x300, "FPGACfgStart: res -1 bufCmd[3] 0"));
  EXPECT_TRUE(recorder.contains(QV_MSG_TEXT, 0x302, "FPGA download failed: tried 8 times."));
  EXPECT_EQ(sleeps.waits(), std::vector<uint32_t>(8, 200));
}

}  // namespace
