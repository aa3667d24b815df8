// The desktop with the emulated camera and the shipped descriptions: the
// progress window during the firmware upload of the open, and register-dialog
// changes that reach the device.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "GtkBackendOnce.h"
#include "GtkTestUtil.h"
#include "Orvex.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "common/TempDataFolder.h"
#include "desc/MapAccess.h"
#include "desc/NameLookup.h"
#include "dialog/DlgLayout.h"
#include "platform/DesktopBackend.h"
#include "platform/Sleep.h"

using namespace orvex_gtk_test;

namespace {

constexpr const char* kProgressTitle = "Tavrin Device Progress";

// The emulator's control functions, from the library the USB layer loads.
struct EmulatorControl {
  int (*configure)(const char*, char*, size_t) = nullptr;
  int (*registers)(int, uint8_t*) = nullptr;
  bool Load() {
    void* lib = dlopen(ORVEX_EMULATOR_DIR "/libusb-0.1.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    configure = reinterpret_cast<decltype(configure)>(dlsym(lib, "orvex_emu_configure"));
    registers = reinterpret_cast<decltype(registers)>(dlsym(lib, "orvex_emu_registers"));
    return configure && registers;
  }
};

// Progress messages go to the default callback; after each one the test notes
// whether the window is on the screen.
struct ProgressWatch {
  static int shown;
  static int hidden;
  static int32_t Callback(QV_Handle handle, uint32_t kind, uint32_t value, const char* text) {
    orvex::DefaultCallback(handle, kind, value, text);
    if (kind == QV_MSG_PROGRESS && (value & 0xFFFF) != QV_PROGRESS_CLOSE) {
      GtkWindow* window = FindToplevel(kProgressTitle);
      (window && gtk_widget_get_mapped(GTK_WIDGET(window)) ? shown : hidden)++;
    }
    return 0;
  }
};
int ProgressWatch::shown = 0;
int ProgressWatch::hidden = 0;

class GtkEmulatedCameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!emulator_.Load()) GTEST_SKIP() << "emulator not built";
    ASSERT_TRUE(UseGtkBackend()) << "the GTK plug-in did not load or found no display";
    folder_.CopyShippedData();
    char error[256] = {};
    // A bare controller: the open uploads its firmware first.
    ASSERT_EQ(emulator_.configure("eeprom = blank\n", error, sizeof error), 0) << error;
    previousSleep_ = orvex::ReplaceSleepFunction([](uint32_t) {});
    previousCallback_ = QV_SetCallback(&ProgressWatch::Callback);
  }
  void TearDown() override {
    orvex::CloseAllSystems();
    if (!emulator_.configure) return;
    QV_SetCallback(previousCallback_);
    orvex::ReplaceSleepFunction(previousSleep_);
    emulator_.configure(nullptr, nullptr, 0);
  }

  static CPelSys* OpenEmulatedCamera() {
    QV_Handle handle = nullptr;
    return QV_Open(&handle, QV_OPEN_USB, "sys=k7cam_tq20") == 1 ? handle : nullptr;
  }

  EmulatorControl emulator_;
  orvex_test::TempDataFolder folder_;
  orvex::SleepFunction previousSleep_ = nullptr;
  QV_Callback previousCallback_ = nullptr;
};

TEST_F(GtkEmulatedCameraTest, ProgressWindowDuringTheFirmwareUploadAndDialogWritesReachTheDevice) {
  ProgressWatch::shown = ProgressWatch::hidden = 0;
  CPelSys* system = OpenEmulatedCamera();
  ASSERT_NE(system, nullptr);
  EXPECT_GT(ProgressWatch::shown, 0);
  EXPECT_EQ(ProgressWatch::hidden, 0);
  EXPECT_EQ(FindToplevel(kProgressTitle), nullptr);

  CPelCam& camera = *system->camera;
  const _RegDesc* desc = camera.regDesc.get();
  const _Map* frames = orvex::FindMap(desc, "SensNFrames");
  const _Map* mode = orvex::FindMap(desc, "CamMode");
  ASSERT_TRUE(frames && mode);
  ASSERT_EQ(mode->enumEntries != nullptr, true);
  const int framesRow = orvex::kFirstRowBase + orvex::kRowStep * static_cast<int>(frames - desc->maps + 1);
  const int modeRow = orvex::kFirstRowBase + orvex::kRowStep * static_cast<int>(mode - desc->maps + 1);

  std::string screenshot;
  bool drove = false;
  struct Step {
    std::function<void(GtkWidget*)> drive;
    bool* drove;
  } step{[&](GtkWidget* window) {
           char name[16];
           std::snprintf(name, sizeof name, "0x%x", framesRow + 1);
           GtkWidget* entry = FindByName(window, name);
           ASSERT_NE(entry, nullptr);
           gtk_entry_set_text(GTK_ENTRY(entry), "21");
           gtk_widget_grab_focus(entry);
           SendKey(window, GDK_KEY_Return);
           std::snprintf(name, sizeof name, "0x%x", modeRow + 3);
           GtkWidget* list = FindByName(window, name);
           ASSERT_NE(list, nullptr);
           gtk_combo_box_set_active(GTK_COMBO_BOX(list), 3);
           screenshot = SaveScreenshot(window, "register-dialog-k7.png");
           gtk_window_close(GTK_WINDOW(window));
         },
         &drove};
  g_timeout_add(100, [](gpointer data) -> gboolean {
    auto* s = static_cast<Step*>(data);
    GtkWindow* window = FindToplevel("Dialog");
    if (!window) return G_SOURCE_CONTINUE;
    *s->drove = true;
    s->drive(GTK_WIDGET(window));
    return G_SOURCE_REMOVE;
  }, &step);
  EXPECT_EQ(QV_OpenDlgRegDesc(system, nullptr), 0);
  ASSERT_TRUE(drove);

  EXPECT_EQ(orvex::GetMapValue(camera, frames), 21u);
  EXPECT_EQ(orvex::GetMapValue(camera, mode), 3u);
  uint8_t device[256] = {};
  ASSERT_EQ(emulator_.registers(0, device), 0);
  for (const _Map* map : {frames, mode})
    for (const regEntry* entry = map->regEntries; entry; entry = entry->next)
      EXPECT_EQ(device[entry->reg->num] & entry->mask, camera.regImage[entry->reg->num] & entry->mask)
          << map->id << " register " << int(entry->reg->num);
  EXPECT_FALSE(screenshot.empty());
  std::printf("screenshot: %s\n", screenshot.c_str());
}

}  // namespace
