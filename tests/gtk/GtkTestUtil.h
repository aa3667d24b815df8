// Finding, driving and photographing the library's windows from inside the
// test process (the plug-in and the test share one GTK).
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace orvex_gtk_test {

// Visible toplevel windows with this title.
std::vector<GtkWindow*> VisibleToplevels(const char* title);
GtkWindow* FindToplevel(const char* title);

// Depth-first search by widget name, internal children included.
GtkWidget* FindByName(GtkWidget* root, const char* name);

// Dispatches everything pending (bounded).
void PumpEvents();

// Runs the main loop for the given time (layout and painting happen on the
// frame clock, not as pending events).
void WaitAndPump(unsigned milliseconds);

// A key press as the window system would deliver it to the toplevel.
void SendKey(GtkWidget* toplevel, guint keyval);

// Renders the window's content into a PNG under ORVEX_SCREENSHOT_DIR (or the
// temporary folder); returns the path, empty on failure.
std::string SaveScreenshot(GtkWidget* toplevel, const char* fileName);

// Answers every message box with the given title with OK while it lives,
// remembering what each box said.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(const char* title);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  struct Seen {
    std::string text;
    GtkMessageType type;
  };
  std::vector<Seen> seen;

 private:
  static gboolean Poll(gpointer self);
  std::string title_;
  guint source_;
};

}  // namespace orvex_gtk_test
