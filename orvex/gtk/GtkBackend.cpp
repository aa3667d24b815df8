// The GTK 3 desktop backend and the plug-in's one entry point. GTK belongs to
// the thread that initialised it; calls from any other thread fall back to
// what the console backend does, and raising a running dialog is handed to
// that thread's main context.
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "gtk/GtkMessageBox.h"
#include "gtk/GtkProgressWindow.h"
#include "gtk/GtkRegisterDialog.h"
#include "platform/DesktopBackend.h"

namespace orvex_gtk {
namespace {

class GtkDesktopBackend;

struct DialogRequest {
  GtkDesktopBackend* backend;
  orvex::IRegisterDialog* dialog;
  bool close;
};

class GtkDesktopBackend : public orvex::IDesktopBackend {
 public:
  GtkDesktopBackend() : guiThread_(std::this_thread::get_id()) {}

  const char* Name() const override { return "gtk"; }

  void ShowMessageBox(const char* text, const char* caption, orvex::MessageIcon icon) override {
    if (!OnGuiThread()) {
      std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
      std::fflush(stderr);
      return;
    }
    RunMessageBox(nullptr, text, caption, icon);
  }

  std::unique_ptr<orvex::IProgressWindow> CreateProgressWindow() override {
    if (!OnGuiThread()) return nullptr;
    return std::make_unique<GtkProgressWindow>();
  }

  bool RunRegisterDialog(orvex::IRegisterDialog& dialog) override {
    if (!OnGuiThread()) return false;
    GtkRegisterDialog window(dialog);
    running_.push_back(&window);
    window.Run();
    running_.erase(std::find(running_.begin(), running_.end(), &window));
    return true;
  }

  void RaiseRegisterDialog(orvex::IRegisterDialog& dialog) override { Request(dialog, false); }

 protected:
  void CloseRegisterDialog(orvex::IRegisterDialog& dialog) override { Request(dialog, true); }

 private:
  bool OnGuiThread() const { return std::this_thread::get_id() == guiThread_; }

  // Runs at once on the GUI thread, else when that thread's loop gets to it.
  void Request(orvex::IRegisterDialog& dialog, bool close) {
    auto* request = new (std::nothrow) DialogRequest{this, &dialog, close};
    if (!request) return;
    if (OnGuiThread())
      Serve(request);
    else
      g_idle_add(&GtkDesktopBackend::Serve, request);
  }

  static gboolean Serve(gpointer data) {
    std::unique_ptr<DialogRequest> request(static_cast<DialogRequest*>(data));
    // The dialog is only compared, never followed: it may be gone by now.
    for (GtkRegisterDialog* window : request->backend->running_) {
      if (&window->Logic() != request->dialog) continue;
      if (request->close)
        window->Close();
      else
        window->Raise();
    }
    return G_SOURCE_REMOVE;
  }

  std::thread::id guiThread_;
  std::vector<GtkRegisterDialog*> running_;
};

}  // namespace
}  // namespace orvex_gtk

extern "C" __attribute__((visibility("default"))) orvex::IDesktopBackend* OrvexCreateDesktopBackend(unsigned abi) {
  if (abi != orvex::kDesktopPluginAbi) return nullptr;
  // The host's locale stays as it is: number formats of files and reports
  // must not change because a message box was shown.
  gtk_disable_setlocale();
  if (!gtk_init_check(nullptr, nullptr)) return nullptr;
  return new (std::nothrow) orvex_gtk::GtkDesktopBackend();
}
