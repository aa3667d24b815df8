// Opening a system on a recorded stream (open mode 1).
#pragma once

#include "Orvex.h"

namespace orvex {

// Builds and lists a system from an open string; null when none is built.
using BuildSystemFn = CPelSys* (*)(const char* openString);

// Checks the stream, builds the system from its recorded open string and
// connects the camera to the stream. The open system, or null (nothing of it
// remains open).
CPelSys* OpenSystemOnStream(const char* path, BuildSystemFn build);

}  // namespace orvex
