// The desktop services the library needs: modal message boxes, the modeless
// progress window and the register-description dialog. The console backend
// answers when no display (or no GUI plug-in) is available; the GTK plug-in
// implements the same interface.
#pragma once

#include <memory>

#include "window/DlgWindow.h"

namespace orvex {

enum class MessageIcon { Information, Warning, Error };

// A small modeless window with one text line and one progress bar (0 to 100).
class IProgressWindow {
 public:
  virtual ~IProgressWindow() = default;
  virtual void SetText(const char* text) = 0;
  virtual void SetPosition(unsigned position) = 0;
  virtual void Repaint() = 0;
  // Dispatch every event waiting for the window without blocking, so that it
  // stays responsive while the caller's thread does long device work.
  virtual void PumpMessages() = 0;
};

class IDesktopBackend {
 public:
  virtual ~IDesktopBackend() = default;
  virtual const char* Name() const = 0;
  // Modal: returns when the user has closed the box.
  virtual void ShowMessageBox(const char* text, const char* caption, MessageIcon icon) = 0;
  // Null when the backend shows no window.
  virtual std::unique_ptr<IProgressWindow> CreateProgressWindow() = 0;
  // Runs the register dialog modally: attaches a window to the dialog, lets
  // it build its controls and returns when the window has been closed. False
  // (at once) when this backend cannot show the dialog.
  virtual bool RunRegisterDialog(IRegisterDialog& dialog) {
    (void)dialog;
    return false;
  }
  // Brings a dialog that is already running to the front; may be called from
  // another thread than the one running the dialog.
  virtual void RaiseRegisterDialog(IRegisterDialog& dialog) { (void)dialog; }
  // The system a running dialog edits is being closed: the dialog stops
  // touching it before its window goes away and its run returns.
  void DestroyRegisterDialog(IRegisterDialog& dialog) {
    dialog.OwnerClosed();
    CloseRegisterDialog(dialog);
  }

 protected:
  virtual void CloseRegisterDialog(IRegisterDialog& dialog) { (void)dialog; }
};

// Messages on stderr ("libOrvex:Error: text"), no windows.
class ConsoleBackend : public IDesktopBackend {
 public:
  const char* Name() const override { return "console"; }
  void ShowMessageBox(const char* text, const char* caption, MessageIcon icon) override;
  std::unique_ptr<IProgressWindow> CreateProgressWindow() override { return nullptr; }
};

// The backend in charge: chosen at first use (GTK plug-in when a display is
// available, else the console backend).
IDesktopBackend& Desktop();

// Replaces the backend (tests, embedding applications); returns the previous
// one, which the caller then owns. Null restores the automatic choice.
IDesktopBackend* ReplaceDesktopBackend(IDesktopBackend* backend);

// The desktop plug-in: a shared module exporting kDesktopPluginEntry with the
// signature below. It answers null when it cannot serve (no display, another
// interface version). The plug-in is built against this header only.
constexpr unsigned kDesktopPluginAbi = 1;
constexpr const char* kDesktopPluginEntry = "OrvexCreateDesktopBackend";
constexpr const char* kDesktopPluginFile = "libOrvexGtk.so";
using CreateDesktopBackendFunction = IDesktopBackend* (*)(unsigned abi);

// Loads the plug-in at path and asks it for a backend; null when the file is
// missing, does not load or declines. A loaded toolkit is never unloaded.
IDesktopBackend* LoadDesktopPlugin(const char* path);

// True when DISPLAY or WAYLAND_DISPLAY names a display.
bool DisplayConfigured();

}  // namespace orvex
