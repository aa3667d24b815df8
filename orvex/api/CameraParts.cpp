// The camera object sits at the bottom, yet it owns parts of every layer above
// it (USB interface, streams, data records, register dialog). Constructing and
// destroying it needs all their types, so both live here, at the top.
#include "core/PelCam.h"

#include "acq/CamDataRecord.h"
#include "acq/QVFileIO.h"
#include "dialog/DlgRegDesc.h"
#include "platform/DesktopBackend.h"
#include "usb/UsbInterface.h"

CPelCam::CPelCam(CPelSys* ownerSystem) : owner(ownerSystem) {}

// Teardown order matters: the dialog edits this camera, the device goes before
// the streams, and records may outlive the camera when applications hold them.
CPelCam::~CPelCam() {
  if (dialog) {
    orvex::Desktop().DestroyRegisterDialog(*dialog);
    dialog = nullptr;
  }
  usb.reset();
  replay.reset();
  recording.reset();
  for (_CamData*& record : slots) {
    orvex::ReleaseCamData(record);
    record = nullptr;
  }
}
