#include "acq/ReplayRestart.h"

#include "acq/QVFileIO.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

namespace orvex {

void RestartReplayFromBeginning(QV_Handle handle) {
  if (!IsOpenSystem(handle)) return;
  CPelCam& camera = *handle->camera;
  if (camera.interfaceKind != kReplayStream || !camera.replay || !camera.replay->IsReading()) return;
  camera.replay->acquisitionCounter = camera.replay->SeekToAcquisition(0) - 1;
}

}  // namespace orvex
