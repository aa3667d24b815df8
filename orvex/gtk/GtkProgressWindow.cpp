#include "gtk/GtkProgressWindow.h"

#include <gtk/gtk.h>

#include "gtk/GtkText.h"

namespace orvex_gtk {
namespace {

// 186 x 47 dialog units with the 8-point dialog font; controls at (7, 7) and
// (7, 26), 168 x 14 units each.
constexpr int kWidth = 279;
constexpr int kHeight = 76;
constexpr int kControlX = 10;
constexpr int kTextY = 11;
constexpr int kBarY = 42;
constexpr int kControlWidth = 252;
constexpr int kControlHeight = 23;
constexpr int kMaxEventsPerPump = 1000;

// The close button only hides the window, as ending a modeless dialog does;
// it stays hidden until the progress sequence ends.
constexpr gint64 kFirstPaintWaitUs = 100 * 1000;

gboolean NoteDrawn(GtkWidget*, cairo_t*, gpointer drawn) {
  *static_cast<bool*>(drawn) = true;
  return FALSE;
}

gboolean HideInsteadOfClose(GtkWidget* window, GdkEvent*, gpointer) {
  gtk_widget_hide(window);
  return TRUE;
}

}  // namespace

void PumpPendingEvents() {
  for (int i = 0; i < kMaxEventsPerPump && g_main_context_pending(nullptr); ++i)
    g_main_context_iteration(nullptr, FALSE);
  gdk_display_flush(gdk_display_get_default());
}

GtkProgressWindow::GtkProgressWindow() {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), "Tavrin Device Progress");
  gtk_window_set_keep_above(GTK_WINDOW(window_), TRUE);
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
  g_signal_connect(window_, "delete-event", G_CALLBACK(HideInsteadOfClose), nullptr);

  GtkWidget* area = gtk_fixed_new();
  gtk_widget_set_size_request(area, kWidth, kHeight);
  text_ = gtk_label_new("Idle");
  gtk_widget_set_name(text_, "progress-text");
  gtk_label_set_xalign(GTK_LABEL(text_), 0.0f);
  gtk_label_set_ellipsize(GTK_LABEL(text_), PANGO_ELLIPSIZE_END);
  gtk_widget_set_size_request(text_, kControlWidth, kControlHeight);
  bar_ = gtk_progress_bar_new();
  gtk_widget_set_name(bar_, "progress-bar");
  gtk_widget_set_size_request(bar_, kControlWidth, kControlHeight);
  gtk_fixed_put(GTK_FIXED(area), text_, kControlX, kTextY);
  gtk_fixed_put(GTK_FIXED(area), bar_, kControlX, kBarY);
  gtk_container_add(GTK_CONTAINER(window_), area);

  // Shown and painted before the caller's long operation goes on; bounded,
  // since a window manager may keep the window unmapped.
  bool drawn = false;
  const gulong watch = g_signal_connect(area, "draw", G_CALLBACK(NoteDrawn), &drawn);
  gtk_widget_show_all(window_);
  const gint64 until = g_get_monotonic_time() + kFirstPaintWaitUs;
  while (!drawn && g_get_monotonic_time() < until) {
    PumpPendingEvents();
    if (!drawn) g_usleep(2000);
  }
  g_signal_handler_disconnect(area, watch);
}

GtkProgressWindow::~GtkProgressWindow() {
  gtk_widget_destroy(window_);
  PumpPendingEvents();
}

void GtkProgressWindow::SetText(const char* text) { gtk_label_set_text(GTK_LABEL(text_), ValidUtf8(text).c_str()); }

void GtkProgressWindow::SetPosition(unsigned position) {
  const unsigned held = position > 100 ? 100 : position;
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar_), held / 100.0);
}

void GtkProgressWindow::Repaint() { gtk_widget_queue_draw(window_); }

void GtkProgressWindow::PumpMessages() { PumpPendingEvents(); }

}  // namespace orvex_gtk
