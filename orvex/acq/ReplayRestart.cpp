#include "acq/ReplayRestart.h"

#include "api/SystemList.h"

namespace orvex {

void RestartReplayFromBeginning(QV_Handle handle) {
  if (!IsOpenSystem(handle)) return;
  // Stream replay arrives with the stream-file reader.
}

}  // namespace orvex
