// A desktop backend that records what would have been shown.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/DesktopBackend.h"

namespace orvex_test {

struct Shown {
  std::string what;  // "box", "create", "text", "position", "repaint", "pump", "destroy"
  std::string text;
  std::string caption;
  unsigned number = 0;
};

class RecordingDesktop : public orvex::IDesktopBackend {
 public:
  const char* Name() const override { return "recording"; }
  void ShowMessageBox(const char* text, const char* caption, orvex::MessageIcon icon) override;
  std::unique_ptr<orvex::IProgressWindow> CreateProgressWindow() override;

  std::vector<Shown> events;
  std::vector<orvex::MessageIcon> icons;
};

// Installs a RecordingDesktop for the scope and restores the previous backend.
class ScopedRecordingDesktop {
 public:
  ScopedRecordingDesktop();
  ~ScopedRecordingDesktop();
  RecordingDesktop& operator*() { return desktop_; }
  RecordingDesktop* operator->() { return &desktop_; }

 private:
  RecordingDesktop desktop_;
  orvex::IDesktopBackend* previous_;
};

}  // namespace orvex_test
