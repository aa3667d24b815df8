// The tester's message callback: text messages of the library join the report
// as log lines, everything else goes on to the library's default callback.
#pragma once

#include "Orvex.h"

int32_t ProgramCallback(QV_Handle handle, uint32_t kind, uint32_t value, const char* text);
