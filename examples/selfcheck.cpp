// Prints the library version and checks that the library answers as it should
// before any camera is involved.
#include <cstdio>

#include "Orvex.h"

namespace {

int g_illegalHandleReports = 0;

int32_t CountingCallback(QV_Handle, uint32_t kind, uint32_t value, const char*) {
  if (kind == QV_MSG_TEXT && value == 0x503) ++g_illegalHandleReports;
  return 0;
}

bool Check(bool ok, const char* what) {
  std::printf("  %-48s %s\n", what, ok ? "ok" : "FAILED");
  return ok;
}

}  // namespace

int main() {
  uint16_t ver[4] = {};
  int32_t status = QV_GetVersion(ver);
  if (status != 0) {
    std::printf("QV_GetVersion failed: %d\n", status);
    return 1;
  }
  std::printf("libOrvex version %u.%u.%u.%u\n", ver[3], ver[2], ver[1], ver[0]);

  std::printf("self-check:\n");
  bool ok = true;
  QV_Callback previous = QV_SetCallback(&CountingCallback);
  ok &= Check(previous == QV_GetDefaultCallback(), "default callback installed at load");
  ok &= Check(QV_Close(nullptr) == -1 && g_illegalHandleReports == 1, "empty handle rejected and reported");
  uint8_t info[60];
  ok &= Check(QV_GetCamInfo(nullptr, info) == -1 && g_illegalHandleReports == 2, "camera info needs an open system");
  QV_SetCallback(nullptr);
  ok &= Check(QV_SetCallback(nullptr) == QV_GetDefaultCallback(), "null callback falls back to the default");
  std::printf("%s\n", ok ? "self-check passed" : "self-check FAILED");
  return ok ? 0 : 1;
}
