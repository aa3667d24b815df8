#include "TestEnv.h"

#include <cstdarg>

void TestEnv::Print(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  std::vfprintf(Out(), format, args);
  va_end(args);
}
