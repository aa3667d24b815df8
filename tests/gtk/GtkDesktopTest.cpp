// The default callback of the shared library on a display: it loads the GTK
// plug-in by itself, shows message boxes and the progress window.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "GtkTestUtil.h"
#include "Orvex.h"

using namespace orvex_gtk_test;

namespace {

int32_t Deliver(uint32_t kind, uint32_t value, const char* text) {
  return QV_GetDefaultCallback()(nullptr, kind, value, text);
}

TEST(GtkDesktop, MessageBoxesCarryCaptionAndIcon) {
  const std::string locale = std::setlocale(LC_ALL, nullptr);
  BoxAnswerer info("libOrvex:Info");
  BoxAnswerer warning("libOrvex:Warning");
  BoxAnswerer error("libOrvex:Error");
  BoxAnswerer illegal("libOrvex:Message: Illegal Message Level!");
  Deliver(QV_MSG_TEXT, 0x301, "information");
  Deliver(QV_MSG_TEXT, 0x302, "warning");
  Deliver(QV_MSG_TEXT, 0x503, "Illegal Handle!");
  Deliver(QV_MSG_TEXT, 0x307, "level seven");
  ASSERT_EQ(info.seen.size(), 1u);
  EXPECT_EQ(info.seen[0].text, "information");
  EXPECT_EQ(info.seen[0].type, GTK_MESSAGE_INFO);
  ASSERT_EQ(warning.seen.size(), 1u);
  EXPECT_EQ(warning.seen[0].type, GTK_MESSAGE_WARNING);
  ASSERT_EQ(error.seen.size(), 1u);
  EXPECT_EQ(error.seen[0].text, "Illegal Handle!");
  EXPECT_EQ(error.seen[0].type, GTK_MESSAGE_ERROR);
  ASSERT_EQ(illegal.seen.size(), 1u);
  EXPECT_EQ(illegal.seen[0].type, GTK_MESSAGE_ERROR);
  // Showing boxes must not switch the host to the environment's locale.
  EXPECT_EQ(std::setlocale(LC_ALL, nullptr), locale);
}

TEST(GtkDesktop, ProgressWindowLivesFromFirstMessageToClose) {
  const char* title = "Tavrin Device Progress";
  Deliver(QV_MSG_PROGRESS, 1, nullptr);  // close without a window: nothing
  EXPECT_EQ(FindToplevel(title), nullptr);

  Deliver(QV_MSG_PROGRESS, (10u << 16) | 0, "Uploading firmware");
  GtkWindow* window = FindToplevel(title);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(gtk_widget_get_mapped(GTK_WIDGET(window)));
  GtkWidget* text = FindByName(GTK_WIDGET(window), "progress-text");
  GtkWidget* bar = FindByName(GTK_WIDGET(window), "progress-bar");
  ASSERT_NE(text, nullptr);
  ASSERT_NE(bar, nullptr);
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(text)), "Uploading firmware");
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(bar)), 0.10);

  // Any other action moves the bar and keeps the text.
  Deliver(QV_MSG_PROGRESS, (60u << 16) | 2, "ignored");
  EXPECT_EQ(FindToplevel(title), window);
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(text)), "Uploading firmware");
  EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(GTK_PROGRESS_BAR(bar)), 0.60);
  PumpEvents();
  std::string shot = SaveScreenshot(GTK_WIDGET(window), "progress-window.png");
  EXPECT_FALSE(shot.empty());
  std::printf("screenshot: %s\n", shot.c_str());

  Deliver(QV_MSG_PROGRESS, (100u << 16) | 1, nullptr);
  EXPECT_EQ(FindToplevel(title), nullptr);
}

}  // namespace
