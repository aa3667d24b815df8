#include "platform/DesktopBackend.h"

namespace orvex {
namespace {

// Plain pointers: the library's state must stay valid until its own unload
// handler has run, whatever order static destructors take.
IDesktopBackend* g_backend = nullptr;

IDesktopBackend* CreateAutomaticBackend() { return new ConsoleBackend(); }

}  // namespace

IDesktopBackend& Desktop() {
  if (!g_backend) g_backend = CreateAutomaticBackend();
  return *g_backend;
}

IDesktopBackend* ReplaceDesktopBackend(IDesktopBackend* backend) {
  IDesktopBackend* previous = g_backend;
  g_backend = backend;
  return previous;
}

}  // namespace orvex
