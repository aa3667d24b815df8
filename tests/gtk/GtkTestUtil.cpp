#include "GtkTestUtil.h"

#include <cstdlib>
#include <cstring>

namespace orvex_gtk_test {

std::vector<GtkWindow*> VisibleToplevels(const char* title) {
  std::vector<GtkWindow*> found;
  GList* all = gtk_window_list_toplevels();
  for (GList* item = all; item; item = item->next) {
    GtkWindow* window = GTK_WINDOW(item->data);
    const char* its = gtk_window_get_title(window);
    if (its && std::strcmp(its, title) == 0 && gtk_widget_get_visible(GTK_WIDGET(window))) found.push_back(window);
  }
  g_list_free(all);
  return found;
}

GtkWindow* FindToplevel(const char* title) {
  std::vector<GtkWindow*> found = VisibleToplevels(title);
  return found.empty() ? nullptr : found.front();
}

namespace {

struct Search {
  const char* name;
  GtkWidget* found;
};

void Visit(GtkWidget* widget, gpointer data) {
  auto* search = static_cast<Search*>(data);
  if (search->found) return;
  if (std::strcmp(gtk_widget_get_name(widget), search->name) == 0) {
    search->found = widget;
    return;
  }
  if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), Visit, data);
}

}  // namespace

GtkWidget* FindByName(GtkWidget* root, const char* name) {
  Search search{name, nullptr};
  if (root) Visit(root, &search);
  return search.found;
}

void PumpEvents() {
  for (int i = 0; i < 2000 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
}

void SendKey(GtkWidget* toplevel, guint keyval) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(toplevel)));
  event->key.send_event = TRUE;
  event->key.time = GDK_CURRENT_TIME;
  event->key.keyval = keyval;
  GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
  gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
  gtk_main_do_event(event);
  gdk_event_free(event);
}

void WaitAndPump(unsigned milliseconds) {
  bool elapsed = false;
  g_timeout_add(milliseconds, [](gpointer flag) -> gboolean {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
  }, &elapsed);
  while (!elapsed) g_main_context_iteration(nullptr, TRUE);
}

std::string SaveScreenshot(GtkWidget* toplevel, const char* fileName) {
  // Let the frame clock lay out and paint what changed last.
  WaitAndPump(100);
  const char* dir = std::getenv("ORVEX_SCREENSHOT_DIR");
  std::string path = std::string(dir && *dir ? dir : g_get_tmp_dir()) + "/" + fileName;
  const int width = gtk_widget_get_allocated_width(toplevel);
  const int height = gtk_widget_get_allocated_height(toplevel);
  if (width <= 1 || height <= 1) return {};
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  gtk_widget_draw(toplevel, cr);
  cairo_destroy(cr);
  const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return written ? path : std::string{};
}

BoxAnswerer::BoxAnswerer(const char* title) : title_(title) { source_ = g_timeout_add(50, Poll, this); }

BoxAnswerer::~BoxAnswerer() { g_source_remove(source_); }

gboolean BoxAnswerer::Poll(gpointer data) {
  auto* self = static_cast<BoxAnswerer*>(data);
  for (GtkWindow* window : VisibleToplevels(self->title_.c_str())) {
    if (!GTK_IS_MESSAGE_DIALOG(window)) continue;
    gchar* text = nullptr;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    g_object_get(window, "text", &text, "message-type", &type, nullptr);
    self->seen.push_back({text ? text : "", type});
    g_free(text);
    gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_OK);
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace orvex_gtk_test
