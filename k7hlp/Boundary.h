// Nothing thrown inside the library leaves an exported function.
#pragma once

#include <cstdio>
#include <new>

#include "LastError.h"
#include "Status.h"

namespace k7hlp {

template <class Body>
int Exported(const char* function, Body&& body) noexcept {
  char text[kLastErrorSize];
  try {
    return body();
  } catch (const std::bad_alloc&) {
    std::snprintf(text, sizeof text, "%s:: not enough memory", function);
    return Fail(kOutOfMemory, text);
  } catch (...) {
    std::snprintf(text, sizeof text, "%s:: internal error", function);
    return Fail(kStepFailed, text);
  }
}

}  // namespace k7hlp
