#include "common/RecordingDesktop.h"

#include "core/Messages.h"

namespace orvex_test {
namespace {

class RecordingProgress : public orvex::IProgressWindow {
 public:
  explicit RecordingProgress(std::vector<Shown>& events) : events_(events) {}
  ~RecordingProgress() override { events_.push_back({"destroy", "", "", 0}); }
  void SetText(const char* text) override { events_.push_back({"text", text, "", 0}); }
  void SetPosition(unsigned position) override { events_.push_back({"position", "", "", position}); }
  void Repaint() override { events_.push_back({"repaint", "", "", 0}); }
  void PumpMessages() override { events_.push_back({"pump", "", "", 0}); }

 private:
  std::vector<Shown>& events_;
};

}  // namespace

void RecordingDesktop::ShowMessageBox(const char* text, const char* caption, orvex::MessageIcon icon) {
  events.push_back({"box", text, caption, 0});
  icons.push_back(icon);
}

std::unique_ptr<orvex::IProgressWindow> RecordingDesktop::CreateProgressWindow() {
  events.push_back({"create", "", "", 0});
  return std::make_unique<RecordingProgress>(events);
}

ScopedRecordingDesktop::ScopedRecordingDesktop() : previous_(orvex::ReplaceDesktopBackend(&desktop_)) {}

ScopedRecordingDesktop::~ScopedRecordingDesktop() {
  orvex::DestroyProgressWindow();
  orvex::ReplaceDesktopBackend(previous_);
}

}  // namespace orvex_test
