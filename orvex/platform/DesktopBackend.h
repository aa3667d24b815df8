// The desktop services the library needs: modal message boxes, the modeless
// progress window and the register-description dialog. The console backend
// answers when no display (or no GUI plug-in) is available; the GTK plug-in
// implements the same interface.
#pragma once

#include <memory>

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

class CDlgRegDesc;

class IDesktopBackend {
 public:
  virtual ~IDesktopBackend() = default;
  virtual const char* Name() const = 0;
  // Modal: returns when the user has closed the box.
  virtual void ShowMessageBox(const char* text, const char* caption, MessageIcon icon) = 0;
  // Null when the backend shows no window.
  virtual std::unique_ptr<IProgressWindow> CreateProgressWindow() = 0;
  // Runs the register dialog modally; false when this backend has no dialog.
  virtual bool RunRegisterDialog(CDlgRegDesc& dialog) {
    (void)dialog;
    return false;
  }
  // Brings a dialog that is already running to the front.
  virtual void RaiseRegisterDialog(CDlgRegDesc& dialog) { (void)dialog; }
  // Closes a running dialog (the system it edits is being closed).
  virtual void DestroyRegisterDialog(CDlgRegDesc& dialog) { (void)dialog; }
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

}  // namespace orvex
