#include "acq/Slots.h"

#include "acq/CamDataRecord.h"
#include "acq/StreamRecording.h"
#include "core/PelCam.h"

namespace orvex {

_CamData* SlotRecord(const CPelCam& camera, size_t slot) {
  return slot < camera.slots.size() ? camera.slots[slot] : nullptr;
}

void StoreInSlot(CPelCam& camera, size_t slot, _CamData* record) {
  if (slot >= camera.slots.size()) camera.slots.resize(slot + 1, nullptr);
  ReleaseSlot(camera, slot);
  // A count that would wrap to 0 would free the record under its holders;
  // at the limit it stays, and the record lives on instead.
  if (record && record->refCount < 0xFFFF) ++record->refCount;
  camera.slots[slot] = record;
}

_CamData* ReleaseSlot(CPelCam& camera, size_t slot) {
  _CamData* record = SlotRecord(camera, slot);
  if (!record) return nullptr;
  if (ReleaseCamData(record)) {
    camera.slots[slot] = nullptr;
    return nullptr;
  }
  return record;
}

}  // namespace orvex

void CPelCam::ReleaseAcquisitionBuffer() {
  // Other holders keep their reference; the slot itself forgets the record so
  // that the next acquisition builds one of the new size.
  _CamData* record = orvex::SlotRecord(*this, 0);
  if (!record) return;
  orvex::ReleaseCamData(record);
  slots[0] = nullptr;
}

void CPelCam::RecordRegisterWrite(uint8_t address, uint8_t value) {
  orvex::AppendRegisterWrite(*this, address, value);
}
