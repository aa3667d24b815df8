#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <vector>

#include "Orvex.h"
#include "common/MemorySystem.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/RecordingDesktop.h"
#include "common/TempDataFolder.h"
#include "platform/ModuleVersion.h"
#include "usb/UsbInterface.h"

using orvex_test::CallbackRecorder;
using orvex_test::ScopedRecordingDesktop;

namespace {

// A system as the build would leave it, without descriptions.
QV_Handle OpenBareSystem() { return orvex_test::OpenMemorySystem("sys=bare", 1); }

class FrameTest : public ::testing::Test {
 protected:
  void TearDown() override { orvex::CloseAllSystems(); }
};

// Every handle-taking export with its error value; later areas add theirs in
// their own test files.
TEST_F(FrameTest, IllegalHandleIsReportedOnceAndGivesTheErrorValue) {
  QV_Handle open = OpenBareSystem();
  QV_Handle closed = OpenBareSystem();
  ASSERT_EQ(QV_Close(closed), 0);
  int never = 0;
  std::vector<QV_Handle> bad = {nullptr, closed, reinterpret_cast<QV_Handle>(&never)};
  uint8_t info[60] = {};
  for (QV_Handle handle : bad) {
    CallbackRecorder recorder;
    EXPECT_EQ(QV_Close(handle), -1);
    EXPECT_EQ(QV_SetTimeout(handle, 5), -1);
    EXPECT_EQ(QV_SetCamInfo(handle, info), -1);
    EXPECT_EQ(QV_GetCamInfo(handle, info), -1);
    EXPECT_EQ(QV_CleanUSB(handle), -1);
    ASSERT_EQ(recorder.messages().size(), 5u);
    for (const auto& m : recorder.messages()) {
      EXPECT_EQ(m.handle, nullptr);
      EXPECT_EQ(m.kind, 1u);
      EXPECT_EQ(m.value, 0x503u);
      EXPECT_EQ(m.text, "Illegal Handle!");
    }
  }
  EXPECT_TRUE(orvex::IsOpenSystem(open));
}

TEST_F(FrameTest, EmptyListRejectsEveryHandle) {
  CallbackRecorder recorder;
  int fake = 0;
  EXPECT_EQ(QV_Close(reinterpret_cast<QV_Handle>(&fake)), -1);
  EXPECT_TRUE(recorder.contains(1, 0x503, "Illegal Handle!"));
}

TEST_F(FrameTest, SystemsAreListedInOrderOfOpeningAndUnlinkedOnClose) {
  QV_Handle a = OpenBareSystem();
  QV_Handle b = OpenBareSystem();
  QV_Handle c = OpenBareSystem();
  EXPECT_EQ(orvex::FirstOpenSystem(), a);
  EXPECT_EQ(a->next, b);
  EXPECT_EQ(b->next, c);
  EXPECT_EQ(QV_Close(b), 0);
  EXPECT_EQ(a->next, c);
  EXPECT_EQ(QV_Close(a), 0);
  EXPECT_EQ(orvex::FirstOpenSystem(), c);
  orvex::CloseAllSystems();
  EXPECT_EQ(orvex::OpenSystemCount(), 0u);
}

TEST_F(FrameTest, CamInfoRoundTripsAndUnconnectedSystemsIgnoreUsbCalls) {
  QV_Handle system = OpenBareSystem();
  uint8_t in[60], out[60] = {};
  for (int i = 0; i < 60; ++i) in[i] = static_cast<uint8_t>(i * 3);
  EXPECT_EQ(QV_SetCamInfo(system, in), 0);
  EXPECT_EQ(QV_GetCamInfo(system, out), 0);
  EXPECT_EQ(std::memcmp(in, out, 60), 0);
  EXPECT_EQ(QV_SetCamInfo(system, nullptr), -1);
  EXPECT_EQ(QV_SetTimeout(system, 250), 0);
  EXPECT_EQ(QV_CleanUSB(system), 1);
  EXPECT_EQ(QV_OpenFile("whatever"), 0);
  EXPECT_EQ(QV_CheckForNewDllVersion(), 0);
}

TEST_F(FrameTest, SetTimeoutReturnsThePreviousUsbTimeout) {
  QV_Handle system = OpenBareSystem();
  system->camera->interfaceKind = orvex::kUsbDevice;
  system->camera->usb = std::make_unique<orvex::CUsbInterface>();
  EXPECT_EQ(QV_SetTimeout(system, 250), 1000);
  EXPECT_EQ(QV_SetTimeout(system, 10), 250);
  EXPECT_EQ(QV_CleanUSB(system), -1) << "no device open";
}

TEST(CallbackTest, FirstReplacementReturnsDefaultAndNullRestoresIt) {
  QV_Callback def = QV_GetDefaultCallback();
  auto mine = +[](QV_Handle, uint32_t, uint32_t, const char*) -> int32_t { return 7; };
  EXPECT_EQ(QV_SetCallback(mine), def);
  EXPECT_EQ(QV_SetCallback(nullptr), mine);
  // The library must never be left with a null callback.
  EXPECT_EQ(QV_SetCallback(def), def);
  CallbackRecorder recorder;
  orvex::CheckHandle(nullptr);
  EXPECT_EQ(recorder.count(1), 1u);
}

TEST(CallbackTest, ApplicationCallbackChainsToDefault) {
  ScopedRecordingDesktop desktop;
  CallbackRecorder recorder(/*chainToDefault=*/true);
  orvex::Notify(nullptr, 1, 0x303, "chained");
  ASSERT_EQ(recorder.messages().size(), 1u);
  ASSERT_EQ(desktop->events.size(), 1u);
  EXPECT_EQ(desktop->events[0].caption, "libOrvex:Error");
  EXPECT_EQ(desktop->events[0].text, "chained");
}

TEST(DefaultCallbackTest, LevelsPickCaptionAndIcon) {
  ScopedRecordingDesktop desktop;
  QV_Callback def = QV_GetDefaultCallback();
  EXPECT_EQ(def(nullptr, 1, 0x301, "info"), 0);
  EXPECT_EQ(def(nullptr, 1, 0x102, "warn"), 0);
  EXPECT_EQ(def(nullptr, 1, 0x503, "err"), 0);
  EXPECT_EQ(def(nullptr, 1, 0x007, "odd"), 0);
  EXPECT_EQ(def(nullptr, 1, 0x300, "debug goes to syslog"), 0);
  ASSERT_EQ(desktop->events.size(), 4u);
  EXPECT_EQ(desktop->events[0].caption, "libOrvex:Info");
  EXPECT_EQ(desktop->events[1].caption, "libOrvex:Warning");
  EXPECT_EQ(desktop->events[2].caption, "libOrvex:Error");
  EXPECT_EQ(desktop->events[3].caption, "libOrvex:Message: Illegal Message Level!");
  using orvex::MessageIcon;
  EXPECT_EQ(desktop->icons, (std::vector<MessageIcon>{MessageIcon::Information, MessageIcon::Warning,
                                                       MessageIcon::Error, MessageIcon::Error}));
}

TEST(DefaultCallbackTest, ConsoleBackendWritesCaptionAndText) {
  orvex::ConsoleBackend console;
  orvex::IDesktopBackend* previous = orvex::ReplaceDesktopBackend(&console);
  testing::internal::CaptureStderr();
  QV_GetDefaultCallback()(nullptr, 1, 0x302, "Could not open or parse file x");
  QV_GetDefaultCallback()(nullptr, 32, 0, "no window on a console");
  std::string err = testing::internal::GetCapturedStderr();
  orvex::ReplaceDesktopBackend(previous);
  EXPECT_EQ(err, "libOrvex:Warning: Could not open or parse file x\n");
}

TEST(DefaultCallbackTest, OtherKindsShowNothing) {
  ScopedRecordingDesktop desktop;
  QV_Callback def = QV_GetDefaultCallback();
  EXPECT_EQ(def(nullptr, 16, 1, nullptr), 0);
  EXPECT_EQ(def(nullptr, 17, 1, nullptr), 0);
  EXPECT_EQ(def(nullptr, 99, 1, "x"), 0);
  EXPECT_EQ(def(nullptr, 2, 2, nullptr), 0) << "event 2 is ignored";
  EXPECT_TRUE(desktop->events.empty());
}

TEST(DefaultCallbackTest, EndOfStreamIsReportedThroughInstalledCallback) {
  CallbackRecorder recorder;
  int fake = 0;
  QV_Handle handle = reinterpret_cast<QV_Handle>(&fake);
  QV_GetDefaultCallback()(handle, 2, (5u << 16) | 1u, nullptr);
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].handle, handle);
  EXPECT_EQ(recorder.messages()[0].value, 0x702u);
  EXPECT_EQ(recorder.messages()[0].text, "CPelCam::ReadData(): CQVFileIO::IO_EOF!");
}

TEST(DefaultCallbackTest, ProgressSequenceCreatesUpdatesAndCloses) {
  ScopedRecordingDesktop desktop;
  QV_Callback def = QV_GetDefaultCallback();
  def(nullptr, 32, 1, "close without window");
  EXPECT_TRUE(desktop->events.empty());
  def(nullptr, 32, (10u << 16) | 0u, "Upload FX2 firmware...");
  def(nullptr, 32, (40u << 16) | 2u, "ignored text");
  def(nullptr, 32, 1, "Done");
  std::vector<std::string> kinds;
  for (const auto& e : desktop->events) kinds.push_back(e.what);
  EXPECT_EQ(kinds, (std::vector<std::string>{"create", "text", "position", "repaint", "pump", "position",
                                             "repaint", "pump", "destroy"}));
  EXPECT_EQ(desktop->events[1].text, "Upload FX2 firmware...");
  EXPECT_EQ(desktop->events[2].number, 10u);
  EXPECT_EQ(desktop->events[5].number, 40u);
}

TEST(VersionTest, LibraryReportsItsOwnVersion) {
  uint16_t ver[4] = {};
  ASSERT_EQ(QV_GetVersion(ver), 0);
  EXPECT_EQ(ver[0], 252);
  EXPECT_EQ(ver[1], 5);
  EXPECT_EQ(ver[2], 7);
  EXPECT_EQ(ver[3], 1);
  uint64_t packed = 0;
  std::memcpy(&packed, ver, sizeof packed);
  EXPECT_EQ(packed, 0x00010007000500FCull) << "major.minor.third.fourth from the top word down";
}

TEST(VersionTest, SharedLibraryFileCarriesTheVersion) {
  uint16_t ver[4] = {};
  ASSERT_EQ(orvex::ReadFileVersion(std::string(ORVEX_LIB_DIR) + "/libOrvex.so", ver), orvex::VersionStatus::Ok);
  EXPECT_EQ(ver[0], 252);
  EXPECT_EQ(ver[3], 1);
}

TEST(VersionTest, DamagedFilesGiveTheirStatus) {
  orvex_test::TempDataFolder tmp;
  uint16_t ver[4] = {};
  EXPECT_EQ(orvex::ReadFileVersion(tmp.ScratchPath("missing.so"), ver), orvex::VersionStatus::Unreadable);
  std::string notElf = tmp.ScratchPath("text.so");
  std::ofstream(notElf) << "not an ELF file at all, but long enough to hold a header ........................";
  EXPECT_EQ(orvex::ReadFileVersion(notElf, ver), orvex::VersionStatus::Unreadable);
  // A valid ELF file without our note: the version resource is empty.
  EXPECT_EQ(orvex::ReadFileVersion("/bin/sh", ver), orvex::VersionStatus::EmptyResource);
}

}  // namespace
