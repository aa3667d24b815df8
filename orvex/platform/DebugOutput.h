#pragma once

namespace orvex {

// The debugger output channel: one line at debug priority in syslog.
void WriteDebugOutput(const char* line);

}  // namespace orvex
