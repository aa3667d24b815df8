#include "api/PelCam.h"

#include "acq/CamDataRecord.h"
#include "acq/QVFileIO.h"
#include "api/PelSys.h"
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

void CPelCam::SizeRegisterImage(size_t n) {
  regImage.assign(n, 0);
  regAttr.assign(n, 0);
}

const _SysDesc* CPelCam::SysDesc() const { return owner ? owner->sysDesc.get() : nullptr; }
