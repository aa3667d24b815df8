#include "LibraryMessages.h"

#include <gst/gst.h>

#include <mutex>

#include "Orvex.h"

GST_DEBUG_CATEGORY_STATIC(orvex_library_debug);
#define GST_CAT_DEFAULT orvex_library_debug

namespace orvexgst {
namespace {

thread_local std::string t_lastText;
QV_Callback g_previous = nullptr;

int32_t RouteMessage(QV_Handle handle, uint32_t kind, uint32_t value, const char* text) {
  if (kind == QV_MSG_TEXT) {
    uint32_t level = value & 0xFF;
    if (level >= QV_LEVEL_WARNING) {
      t_lastText = text ? text : "";
      GST_WARNING("%s", text ? text : "");
    } else {
      GST_DEBUG("%s", text ? text : "");
    }
  }
  // The library's default callback would open modal message boxes on a
  // display; only an application's own callback is passed on.
  if (g_previous) g_previous(handle, kind, value, text);
  return 0;
}

}  // namespace

void InstallLibraryMessageRouter() {
  static std::once_flag once;
  std::call_once(once, [] {
    GST_DEBUG_CATEGORY_INIT(orvex_library_debug, "orvexlib", 0, "libOrvex messages");
    QV_Callback previous = QV_SetCallback(&RouteMessage);
    if (previous != QV_GetDefaultCallback() && previous != &RouteMessage) g_previous = previous;
  });
}

std::string TakeLastLibraryText() {
  std::string text;
  text.swap(t_lastText);
  return text;
}

}  // namespace orvexgst
