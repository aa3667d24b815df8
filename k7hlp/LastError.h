// The process-wide last-error text that K7Hlp_getLastError hands out.
#pragma once

namespace k7hlp {

constexpr unsigned kLastErrorSize = 128;

// Stores text (truncated to 127 characters); returns code so that callers can
// write `return Fail(code, text);`.
int Fail(int code, const char* text);
char* LastErrorText();

}  // namespace k7hlp
