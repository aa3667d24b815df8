#pragma once

#include "Orvex.h"

namespace orvex {

// End of a replayed stream: position it on its first acquisition again so that
// replay starts over. Does nothing unless the handle is an open system whose
// camera replays a stream.
void RestartReplayFromBeginning(QV_Handle handle);

}  // namespace orvex
