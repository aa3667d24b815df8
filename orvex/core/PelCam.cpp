#include "core/PelCam.h"

#include "acq/CamDataRecord.h"
#include "acq/QVFileIO.h"
#include "core/PelSys.h"
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

void CPelCam::MarkRegisterAttributes() {
  if (!regDesc) return;
  for (uint16_t i = 0; i < regDesc->mapCount; ++i) {
    const _Map& map = regDesc->maps[i];
    if (!map.mode) continue;
    for (const regEntry* entry = map.regEntries; entry; entry = entry->next)
      if (entry->reg && entry->reg->num < regAttr.size()) regAttr[entry->reg->num] |= map.mode;
  }
}

const _SysDesc* CPelCam::SysDesc() const { return owner ? owner->sysDesc.get() : nullptr; }
