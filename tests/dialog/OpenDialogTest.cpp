// QV_OpenDlgRegDesc over a backend the test scripts: one dialog per camera,
// raising instead of a second dialog, the system closed under a running
// dialog, and the console's refusal.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "common/MemorySystem.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/RecordingDesktop.h"
#include "dialog/DlgRegDesc.h"
#include "dialog/ExampleDesc.h"
#include "dialog/RecordingControls.h"
#include "platform/DesktopBackend.h"

using orvex_test::CallbackRecorder;

namespace {

// Runs the dialog on a recording control set; `user` plays the user while it runs.
class ScriptedDesktop : public orvex_test::RecordingDesktop {
 public:
  bool RunRegisterDialog(orvex::IRegisterDialog& dialog) override {
    ++runs;
    dialog.AttachWindow(&window);
    dialog.BuildControls();
    if (user) user(dialog);
    dialog.AttachWindow(nullptr);
    return true;
  }
  void RaiseRegisterDialog(orvex::IRegisterDialog& dialog) override {
    raised = &dialog;
    ++raises;
  }
  void CloseRegisterDialog(orvex::IRegisterDialog& dialog) override { closed = &dialog; }

  std::function<void(orvex::IRegisterDialog&)> user;
  orvex_test::RecordingControls window;
  int runs = 0;
  int raises = 0;
  orvex::IRegisterDialog* raised = nullptr;
  orvex::IRegisterDialog* closed = nullptr;
};

class OpenDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = orvex::ReplaceDesktopBackend(&desktop_);
    // The camera frees the top block only; the arrays stay with the builder.
    auto* block = static_cast<_RegDesc*>(std::malloc(sizeof(_RegDesc)));
    *block = *orvex_test::ExampleDesc(builder_);
    handle_ = orvex_test::OpenMemorySystem("sys=dialog", 8, orvex::BlockPtr<_RegDesc>(block));
    camera_ = handle_->camera.get();
  }
  void TearDown() override {
    orvex::CloseAllSystems();
    orvex::ReplaceDesktopBackend(previous_);
  }

  ScriptedDesktop desktop_;
  orvex::IDesktopBackend* previous_ = nullptr;
  orvex_test::DescBuilder builder_;
  CPelCam* camera_ = nullptr;
  QV_Handle handle_ = nullptr;
};

TEST_F(OpenDialogTest, UnknownHandleIsReportedAndShowsNothing) {
  CallbackRecorder recorder;
  int never = 0;
  EXPECT_EQ(QV_OpenDlgRegDesc(nullptr, nullptr), -1);
  EXPECT_EQ(QV_OpenDlgRegDesc(reinterpret_cast<QV_Handle>(&never), nullptr), -1);
  EXPECT_EQ(recorder.count(QV_MSG_TEXT), 2u);
  EXPECT_TRUE(recorder.contains(1, 0x503, "Illegal Handle!"));
  EXPECT_EQ(desktop_.runs, 0);
}

TEST_F(OpenDialogTest, RunsOneDialogAndRaisesItOnASecondCall) {
  int secondResult = -2;
  desktop_.user = [&](orvex::IRegisterDialog& dialog) {
    EXPECT_EQ(camera_->dialog, &dialog);
    secondResult = QV_OpenDlgRegDesc(handle_, nullptr);
    // The user sets Exposure through the running dialog.
    desktop_.window.focus = 0x1031;
    desktop_.window[0x1031].text = "0xfff";
    dialog.OnOk();
    dialog.OnCloseRequest();
  };
  EXPECT_EQ(QV_OpenDlgRegDesc(handle_, nullptr), 0);
  EXPECT_EQ(secondResult, 0);
  EXPECT_EQ(desktop_.runs, 1);
  EXPECT_EQ(desktop_.raises, 1);
  EXPECT_EQ(desktop_.window.endResult, 2);
  EXPECT_EQ(camera_->regImage[1], 0xFF);
  EXPECT_EQ(camera_->regImage[2], 0x0F);
  EXPECT_EQ(camera_->dialog, nullptr);

  // Closed: the next call builds a new dialog.
  desktop_.user = nullptr;
  EXPECT_EQ(QV_OpenDlgRegDesc(handle_, nullptr), 0);
  EXPECT_EQ(desktop_.runs, 2);
}

TEST_F(OpenDialogTest, ClosingTheSystemUnderARunningDialogIsSafe) {
  desktop_.user = [&](orvex::IRegisterDialog& dialog) {
    ASSERT_EQ(QV_Close(handle_), 0);
    EXPECT_EQ(desktop_.closed, &dialog);
    // Whatever the window still reports touches nothing.
    desktop_.window.focus = 0x1031;
    desktop_.window[0x1031].text = "1";
    dialog.OnOk();
    dialog.OnScroll(0x1032, orvex::ScrollCode::Bottom, 0);
    dialog.OnListSelectionChanged(0x1003);
  };
  EXPECT_EQ(QV_OpenDlgRegDesc(handle_, nullptr), 0);
  EXPECT_FALSE(orvex::IsOpenSystem(handle_));
}

TEST_F(OpenDialogTest, WithoutADialogBackendAWarningAndNoWait) {
  orvex_test::RecordingDesktop console;
  orvex::ReplaceDesktopBackend(&console);
  CallbackRecorder recorder;
  EXPECT_EQ(QV_OpenDlgRegDesc(handle_, nullptr), -1);
  ASSERT_EQ(recorder.count(QV_MSG_TEXT), 1u);
  EXPECT_EQ(recorder.messages()[0].value, 0x302u);
  EXPECT_EQ(camera_->dialog, nullptr);
  orvex::ReplaceDesktopBackend(&desktop_);
}

// Scoped environment change.
class ScopedUnset {
 public:
  explicit ScopedUnset(const char* name) : name_(name) {
    const char* value = std::getenv(name);
    had_ = value != nullptr;
    if (had_) value_ = value;
    unsetenv(name);
  }
  ~ScopedUnset() {
    if (had_) setenv(name_, value_.c_str(), 1);
  }

 private:
  const char* name_;
  std::string value_;
  bool had_ = false;
};

TEST(DesktopChoice, NoDisplayMeansConsole) {
  ScopedUnset display("DISPLAY");
  ScopedUnset wayland("WAYLAND_DISPLAY");
  EXPECT_FALSE(orvex::DisplayConfigured());
  orvex::IDesktopBackend* previous = orvex::ReplaceDesktopBackend(nullptr);
  EXPECT_STREQ(orvex::Desktop().Name(), "console");
  delete orvex::ReplaceDesktopBackend(previous);
  EXPECT_EQ(orvex::LoadDesktopPlugin("/nonexistent/libOrvexGtk.so"), nullptr);
}

}  // namespace
