#include "platform/DebugOutput.h"

#include <syslog.h>

namespace orvex {

void WriteDebugOutput(const char* line) { syslog(LOG_DEBUG, "%s", line ? line : ""); }

}  // namespace orvex
