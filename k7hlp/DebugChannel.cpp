#include "DebugChannel.h"

#include <syslog.h>

namespace k7hlp {
namespace {

void WriteToSyslog(const char* line) { syslog(LOG_DEBUG, "%s", line); }

DebugSink currentSink = WriteToSyslog;

}  // namespace

void WriteDebugLine(const char* line) { currentSink(line ? line : ""); }

DebugSink ReplaceDebugSink(DebugSink sink) {
  DebugSink previous = currentSink;
  currentSink = sink ? sink : WriteToSyslog;
  return previous;
}

}  // namespace k7hlp
