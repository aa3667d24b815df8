#include "gtk/GtkStyle.h"

#include <gtk/gtk.h>

namespace orvex_gtk {
namespace {

constexpr const char* kCss =
    "#orvex-register-dialog { font: 8pt Sans; }\n"
    "#orvex-register-dialog entry { min-height: 0; padding: 0 3px; }\n"
    "#orvex-register-dialog combobox button { min-height: 0; padding: 0 4px; }\n"
    "#orvex-register-dialog combobox arrow { min-height: 8px; min-width: 8px; }\n"
    "#orvex-register-dialog checkbutton { padding: 0; }\n"
    "#orvex-register-dialog checkbutton check { min-height: 13px; min-width: 13px; margin: 0 0 0 4px; }\n"
    "#orvex-register-dialog scale { padding: 0; margin: 0; min-height: 0; }\n"
    "#orvex-register-dialog scale trough { min-height: 3px; }\n"
    "#orvex-register-dialog scale slider { min-height: 10px; min-width: 8px; margin: -4px 0; }\n"
    "#orvex-register-dialog scale marks indicator { min-height: 3px; }\n";

}  // namespace

void InstallDialogStyle() {
  static bool installed = false;
  GdkScreen* screen = gdk_screen_get_default();
  if (installed || !screen) return;
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
  installed = true;
}

}  // namespace orvex_gtk
