#include "LastError.h"

#include <cstdio>

namespace k7hlp {
namespace {
char lastError[kLastErrorSize] = "";
}

int Fail(int code, const char* text) {
  std::snprintf(lastError, sizeof lastError, "%s", text ? text : "");
  return code;
}

char* LastErrorText() { return lastError; }

}  // namespace k7hlp
