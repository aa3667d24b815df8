// The tester's code in this process against the emulated camera, for what a
// separate run cannot show: the camera re-plugged between two tests, and the
// stress run on a grid small enough to finish.
#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <regex>
#include <string>

#include "CameraSystem.h"
#include "CapturedOutput.h"
#include "RegDescLookup.h"
#include "Settings.h"
#include "PathMapping.h"
#include "Sandbox.h"
#include "StressTest.h"
#include "TestEnv.h"
#include "TesterProgram.h"

namespace {

namespace fs = std::filesystem;

// The emulator's control functions, from the libusb-0.1 that libOrvex loads.
struct EmulatorControl {
  int (*configure)(const char*, char*, size_t) = nullptr;
  int (*replug)(int) = nullptr;

  EmulatorControl() {
    void* library = dlopen("libusb-0.1.so.4", RTLD_NOW);
    if (!library) return;
    configure = reinterpret_cast<int (*)(const char*, char*, size_t)>(dlsym(library, "orvex_emu_configure"));
    replug = reinterpret_cast<int (*)(int)>(dlsym(library, "orvex_emu_replug"));
  }
};

class EmulatedTester : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDir_ = fs::current_path();
    setenv("XDG_DATA_DIRS", box_.dataDir().c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    fs::current_path(box_.workDir());
    ASSERT_NE(control_.configure, nullptr) << "the emulator is not first in LD_LIBRARY_PATH";
    ASSERT_EQ(control_.configure("cameras = 1\n", nullptr, 0), 0);
  }
  void TearDown() override { fs::current_path(previousDir_); }

  std::string Run(std::initializer_list<const char*> arguments, const std::string& input) {
    CapturedOutput out;
    ScriptedInput in(input);
    std::vector<const char*> argv{"libOrvexTester"};
    argv.insert(argv.end(), arguments);
    CTesterProgram program(out.file(), in.file());
    program.Run(static_cast<int>(argv.size()), argv.data());
    return out.text();
  }

  Sandbox box_;
  EmulatorControl control_;
  fs::path previousDir_;
};

TEST_F(EmulatedTester, SerialWrittenByTheInternalTestIsReadAfterReplugging) {
  std::string before = Run({"i5"}, "");
  EXPECT_NE(before.find("Serial string is OVX0001\n"), std::string::npos) << before;
  std::string write = Run({"i4"}, "NEWSERIAL42\n");
  EXPECT_NE(write.find("Insert New Serial String\n"), std::string::npos);
  ASSERT_EQ(control_.replug(0), 0);
  std::string after = Run({"i5"}, "");
  EXPECT_NE(after.find("Read Serial String\nSerial string is NEWSERIAL42\n"), std::string::npos) << after;
}

TEST_F(EmulatedTester, OverLongSerialLineIsCutToWhatTheCameraStores) {
  Run({"i4"}, std::string(400, '7') + "\n");
  ASSERT_EQ(control_.replug(0), 0);
  std::string after = Run({"i5"}, "");
  EXPECT_NE(after.find("Serial string is " + std::string(16, '7') + "\n"), std::string::npos) << after;
}

TEST_F(EmulatedTester, UnknownSettingIsReportedAndTheOthersStillApply) {
  CameraSystem camera;
  ASSERT_EQ(camera.Open(QV_OPEN_USB, kTestSystem), 1);
  const _RegDesc* desc = QV_GetRegDesc(camera.Handle());
  // A plain register that no map shares its name with: the register path of the settings.
  const _Reg* reg = FindRegByName(desc, "SensTqpLo");
  ASSERT_NE(reg, nullptr);
  ASSERT_EQ(FindMapByName(desc, "SensTqpLo"), nullptr);
  CapturedOutput out;
  ApplySettings(camera.Handle(), {{"NoSuchName", 5}, {"SensNFrames", 40}, {reg->id, 0x1234}}, out.file());
  EXPECT_EQ(out.text(), "Register Setting Error: NoSuchName=5\n");
  EXPECT_EQ(QV_GetMap(camera.Handle(), FindMapByName(desc, "SensNFrames")), 40u);
  EXPECT_EQ(QV_GetReg(camera.Handle(), reg->num), 0x34);
}

// Records a few acquisitions of the emulated camera where Test8 looks for its stream.
void RecordStream(const std::string& path, int acquisitions) {
  ASSERT_TRUE(CreateParentFolders(path));
  CameraSystem camera;
  ASSERT_EQ(camera.Open(QV_OPEN_USB, kTestSystem), 1);
  CapturedOutput ignored;
  ApplySettings(camera.Handle(), A16Z16Settings(), ignored.file());
  ASSERT_EQ(QV_CreateStreamFile(camera.Handle(), path.c_str()), 0);
  for (int i = 0; i < acquisitions; ++i) ASSERT_GT(QV_Acquire(camera.Handle()), 0);
  QV_CreateStreamFile(camera.Handle(), nullptr);
}

TEST_F(EmulatedTester, StreamReplayTestReadsTheRecordedStream) {
  RecordStream(MapWindowsPath("E:\\pvs-streams\\out.pvs"), 4);
  std::string text = Run({"u8"}, "");
  EXPECT_EQ(CountOccurrences(text, " QV_Acquire "), 32) << text;
  EXPECT_NE(text.find(">>>>   >>>> (0) QV_Acquire 329216\n>>>>   >>>> DP_ENCODER 8\n"), std::string::npos) << text;
  EXPECT_EQ(CountOccurrences(text, "DP_ENCODER 8\n"), 32);
}

TEST_F(EmulatedTester, StressRunWalksTheGridAndLogsIntoItsFile) {
  CapturedOutput out;
  ScriptedInput in("");
  CTestReport report(out.file());
  CKeyInput input(in.file());
  TestEnv env{report, input};
  StressConfig config;
  config.frames = {3, -1, 2};
  config.sensTqp = {712, -32, 680};
  config.sensNavM2 = {2, -1, 1};
  RunStress(env, config);
  std::string text = out.text();
  // 2 frame counts x 2 SensNavM2 x 2 SensTqp, frames turning fastest.
  std::smatch match;
  std::regex condition("frames: *(\\d+) SensTqp: *(\\d+) SensNavM2: *(\\d+) ");
  std::string order;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), condition); it != std::sregex_iterator(); ++it)
    order += (*it)[1].str() + "/" + (*it)[2].str() + "/" + (*it)[3].str() + " ";
  EXPECT_EQ(order, "3/712/2 2/712/2 3/712/1 2/712/1 3/680/2 2/680/2 3/680/1 2/680/1 ") << text;
  EXPECT_TRUE(std::regex_search(text, std::regex("fps: +[0-9.]+ demodFrq: +[0-9.]+ frames:")));
  std::string log = ReadFile("UserTestA.log");
  EXPECT_NE(log.find("numTest:(4) frames:(3 -1 2) sensTqp:(712 -32 680) sensNavM2:(2 -1 1) \n"), std::string::npos);
  // Every failed condition is in the log with its failing acquisition.
  EXPECT_EQ(CountOccurrences(log, "QV_Acquire"), CountOccurrences(text, "QV_Acquire"));
}

}  // namespace
