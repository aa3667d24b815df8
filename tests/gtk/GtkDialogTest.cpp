// The register dialog in the real GTK window: widgets change maps and
// registers, warnings appear as message boxes, a second call only raises the
// window, closing the system ends the dialog.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

#include "GtkBackendOnce.h"
#include "GtkTestUtil.h"
#include "Orvex.h"
#include "common/MemorySystem.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "dialog/ExampleDesc.h"
#include "platform/DesktopBackend.h"

using namespace orvex_gtk_test;

namespace {

class GtkDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UseGtkBackend()) << "the GTK plug-in did not load or found no display";
    ASSERT_STREQ(orvex::Desktop().Name(), "gtk");
    // The camera frees the top block only; the arrays stay with the builder.
    auto* block = static_cast<_RegDesc*>(std::malloc(sizeof(_RegDesc)));
    *block = *orvex_test::ExampleDesc(builder_);
    handle_ = orvex_test::OpenMemorySystem("sys=dialog", 8, orvex::BlockPtr<_RegDesc>(block));
    camera_ = handle_->camera.get();
  }

  void TearDown() override { orvex::CloseAllSystems(); }

  // Opens the dialog and runs `drive` inside its loop once the window is up.
  int RunDialogWith(std::function<void(GtkWidget*)> drive) {
    struct Driver {
      std::function<void(GtkWidget*)> drive;
      bool ran = false;
      static gboolean Fire(gpointer data) {
        auto* self = static_cast<Driver*>(data);
        GtkWindow* window = FindToplevel("Dialog");
        if (!window) return G_SOURCE_CONTINUE;
        PumpEvents();
        self->ran = true;
        self->drive(GTK_WIDGET(window));
        return G_SOURCE_REMOVE;
      }
    } driver{std::move(drive)};
    g_timeout_add(100, &Driver::Fire, &driver);
    const int result = QV_OpenDlgRegDesc(handle_, nullptr);
    EXPECT_TRUE(driver.ran);
    return result;
  }

  static GtkWidget* Widget(GtkWidget* window, int id) {
    char name[16];
    std::snprintf(name, sizeof name, "0x%x", id);
    GtkWidget* widget = FindByName(window, name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  static void TypeAndEnter(GtkWidget* window, int id, const char* text) {
    GtkWidget* entry = Widget(window, id);
    gtk_entry_set_text(GTK_ENTRY(entry), text);
    gtk_widget_grab_focus(entry);
    SendKey(window, GDK_KEY_Return);
    PumpEvents();
  }

  orvex_test::DescBuilder builder_;
  CPelCam* camera_ = nullptr;
  QV_Handle handle_ = nullptr;
};

TEST_F(GtkDialogTest, WidgetsWriteMapsAndRegisters) {
  camera_->regImage[2] = 0x0A;  // Exposure 0xA00
  BoxAnswerer warnings("Warning");
  std::string screenshot;
  const int result = RunDialogWith([&](GtkWidget* window) {
    EXPECT_EQ(VisibleToplevels("Dialog").size(), 1u);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(Widget(window, 0x1031))), "0xa00");
    EXPECT_EQ(gtk_range_get_value(GTK_RANGE(Widget(window, 0x1032))), 0xA0);

    TypeAndEnter(window, 0x1031, "0x123");
    EXPECT_EQ(camera_->regImage[1], 0x23);
    EXPECT_EQ(camera_->regImage[2], 0x01);
    EXPECT_EQ(gtk_range_get_value(GTK_RANGE(Widget(window, 0x1032))), 0x12);

    gtk_combo_box_set_active(GTK_COMBO_BOX(Widget(window, 0x1013)), 2);
    EXPECT_EQ(camera_->regImage[0] & 0x03, 2);
    gtk_button_clicked(GTK_BUTTON(Widget(window, 0x1024)));
    EXPECT_EQ(camera_->regImage[0] & 0x80, 0x80);

    // The keyboard's page key on the slider: one page of 2^8 up.
    g_signal_emit_by_name(Widget(window, 0x1032), "move-slider", GTK_SCROLL_PAGE_FORWARD);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(Widget(window, 0x1031))), "0x223");
    EXPECT_EQ(camera_->regImage[2], 0x02);

    gtk_combo_box_set_active(GTK_COMBO_BOX(Widget(window, 0x1003)), 0);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(Widget(window, 0x1001))), "0x82");
    TypeAndEnter(window, 0x1001, "300");
    TypeAndEnter(window, 0x1031, "0x1000");
    EXPECT_EQ(camera_->regImage[0], 0x82);
    EXPECT_EQ(camera_->regImage[2], 0x02);

    PumpEvents();
    screenshot = SaveScreenshot(window, "register-dialog.png");
    gtk_window_close(GTK_WINDOW(window));
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(camera_->dialog, nullptr);
  EXPECT_TRUE(VisibleToplevels("Dialog").empty());
  ASSERT_EQ(warnings.seen.size(), 2u);
  EXPECT_EQ(warnings.seen[0].text, "range error:\nvalid range is 0 to 0xff");
  EXPECT_EQ(warnings.seen[1].text, "range error:\nvalid range is 0 to 0xfff");
  EXPECT_EQ(warnings.seen[0].type, GTK_MESSAGE_WARNING);
  EXPECT_FALSE(screenshot.empty());
  std::printf("screenshot: %s\n", screenshot.c_str());
}

TEST_F(GtkDialogTest, SecondCallRaisesTheOpenDialog) {
  int second = -2;
  int fromThread = -2;
  const int result = RunDialogWith([&](GtkWidget* window) {
    second = QV_OpenDlgRegDesc(handle_, nullptr);
    std::thread other([&] { fromThread = QV_OpenDlgRegDesc(handle_, nullptr); });
    other.join();
    PumpEvents();
    EXPECT_EQ(VisibleToplevels("Dialog").size(), 1u);
    gtk_window_close(GTK_WINDOW(window));
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(fromThread, 0);
}

TEST_F(GtkDialogTest, ClosingTheSystemEndsTheDialog) {
  const int result = RunDialogWith([&](GtkWidget*) { EXPECT_EQ(QV_Close(handle_), 0); });
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(orvex::IsOpenSystem(handle_));
  EXPECT_TRUE(VisibleToplevels("Dialog").empty());
}

}  // namespace
