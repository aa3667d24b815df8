#include "gtk/GtkText.h"

#include <glib.h>

namespace orvex_gtk {

std::string ValidUtf8(const char* text) {
  if (!text) return {};
  gchar* valid = g_utf8_make_valid(text, -1);
  std::string result = valid ? valid : "";
  g_free(valid);
  return result;
}

}  // namespace orvex_gtk
