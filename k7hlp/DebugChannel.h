// The platform's debugger output: syslog at debug priority. Tests replace the
// sink to see the trace lines.
#pragma once

namespace k7hlp {

using DebugSink = void (*)(const char* line);

void WriteDebugLine(const char* line);
// Installs sink (null restores syslog) and returns the previous one.
DebugSink ReplaceDebugSink(DebugSink sink);

}  // namespace k7hlp
