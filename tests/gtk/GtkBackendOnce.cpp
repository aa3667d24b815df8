#include "GtkBackendOnce.h"

#include "platform/DesktopBackend.h"

namespace orvex_gtk_test {

bool UseGtkBackend() {
  static orvex::IDesktopBackend* const backend = orvex::LoadDesktopPlugin(ORVEX_LIB_DIR "/libOrvexGtk.so");
  if (!backend) return false;
  if (&orvex::Desktop() != backend) orvex::ReplaceDesktopBackend(backend);
  return true;
}

}  // namespace orvex_gtk_test
