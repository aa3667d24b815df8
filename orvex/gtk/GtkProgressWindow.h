// The modeless "Tavrin Device Progress" window: a text line and a bar.
#pragma once

#include "platform/DesktopBackend.h"

typedef struct _GtkWidget GtkWidget;

namespace orvex_gtk {

class GtkProgressWindow : public orvex::IProgressWindow {
 public:
  GtkProgressWindow();
  ~GtkProgressWindow() override;
  GtkProgressWindow(const GtkProgressWindow&) = delete;
  GtkProgressWindow& operator=(const GtkProgressWindow&) = delete;

  void SetText(const char* text) override;
  void SetPosition(unsigned position) override;
  void Repaint() override;
  void PumpMessages() override;

 private:
  GtkWidget* window_;
  GtkWidget* text_;
  GtkWidget* bar_;
};

// Dispatches what is waiting without blocking; bounded so that a steady
// stream of events cannot hold the caller.
void PumpPendingEvents();

}  // namespace orvex_gtk
