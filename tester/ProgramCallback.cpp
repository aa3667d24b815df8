#include "ProgramCallback.h"

#include "TestReport.h"
#include "UserTests.h"

int32_t ProgramCallback(QV_Handle, uint32_t kind, uint32_t value, const char* text) {
  CUserTests* userTests = CUserTests::Instance();
  if (userTests && kind == QV_MSG_TEXT) {
    // The library's texts are data, not formats: a '%' in a file name must not
    // make the report read arguments that are not there.
    userTests->Report().Log("%s", text ? text : "");
    return 0;
  }
  QV_Callback fallback = QV_GetDefaultCallback();
  return fallback ? fallback(nullptr, kind, value, text) : 0;
}
