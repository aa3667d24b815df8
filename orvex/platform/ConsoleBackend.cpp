#include "platform/DesktopBackend.h"

#include <cstdio>

namespace orvex {

void ConsoleBackend::ShowMessageBox(const char* text, const char* caption, MessageIcon /*icon*/) {
  std::fprintf(stderr, "%s: %s\n", caption, text ? text : "");
  std::fflush(stderr);
}

}  // namespace orvex
