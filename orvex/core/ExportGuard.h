#pragma once

#include <exception>

#include "core/Messages.h"

namespace orvex {

// Runs the body of an exported function; nothing thrown inside leaves the
// library. An escaped exception is reported and the function's error value
// returned instead.
template <class Result, class Body>
Result Guarded(const char* function, Result errorValue, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    ReportText(nullptr, QV_MSG_VALUE(QV_CAT_OPEN, QV_LEVEL_ERROR), "%s(): out of memory", function);
  } catch (const std::exception& error) {
    ReportText(nullptr, QV_MSG_VALUE(QV_CAT_OPEN, QV_LEVEL_ERROR), "%s(): %s", function, error.what());
  } catch (...) {
    ReportText(nullptr, QV_MSG_VALUE(QV_CAT_OPEN, QV_LEVEL_ERROR), "%s(): internal error", function);
  }
  return errorValue;
}

}  // namespace orvex
