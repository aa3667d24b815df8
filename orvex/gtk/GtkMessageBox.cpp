#include "gtk/GtkMessageBox.h"

#include <gtk/gtk.h>

#include "gtk/GtkText.h"

namespace orvex_gtk {
namespace {

GtkMessageType MessageTypeOf(orvex::MessageIcon icon) {
  switch (icon) {
    case orvex::MessageIcon::Information:
      return GTK_MESSAGE_INFO;
    case orvex::MessageIcon::Warning:
      return GTK_MESSAGE_WARNING;
    case orvex::MessageIcon::Error:
    default:
      return GTK_MESSAGE_ERROR;
  }
}

}  // namespace

void RunMessageBox(GtkWindow* parent, const char* text, const char* caption, orvex::MessageIcon icon) {
  const std::string body = ValidUtf8(text);
  GtkWidget* box = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, MessageTypeOf(icon), GTK_BUTTONS_OK, "%s",
                                          body.c_str());
  gtk_window_set_title(GTK_WINDOW(box), ValidUtf8(caption).c_str());
  gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
  gtk_window_set_position(GTK_WINDOW(box), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  gdk_display_flush(gdk_display_get_default());
}

}  // namespace orvex_gtk
