#include "acq/Acquisition.h"

#include <cerrno>

#include "acq/CamDataRecord.h"
#include "acq/DataMode.h"
#include "acq/SimulatedPattern.h"
#include "acq/Slots.h"
#include "acq/StreamRecording.h"
#include "acq/StreamReplay.h"
#include "core/Messages.h"
#include "core/PelCam.h"
#include "core/SystemList.h"
#include "usb/UsbInterface.h"

namespace orvex {
namespace {

constexpr unsigned kBulkReadEndpoint = 0x82;
// A device that keeps answering with empty transfers would hold the caller
// for ever; after this many in a row the read ends as a time-out.
constexpr int kMaxEmptyTransfers = 1000;

int32_t ReadFromDevice(CPelCam& camera, void* buffer, uint32_t size) {
  if (!camera.usb || !camera.usb->device) return -1;
  // Without a valid data mode there is nothing to transfer (and an empty
  // request would be answered empty for ever).
  if (size == 0) return 0;
  for (int attempt = 0; attempt < kMaxEmptyTransfers; ++attempt) {
    int result = camera.usb->BulkRead(kBulkReadEndpoint, buffer, size);
    if (result != 0) return result;
  }
  return -ETIMEDOUT;
}

int32_t ReadFromSource(CPelCam& camera, void* buffer, uint32_t size) {
  switch (camera.interfaceKind) {
    case kUsbDevice:
      return ReadFromDevice(camera, buffer, size);
    case kReplayStream:
      return ReadNextAcquisition(camera, buffer, size);
    default:
      FillSimulatedPattern(buffer, size);
      return static_cast<int32_t>(size);
  }
}

_CamData* RebuildAcquisitionBuffer(CPelCam& camera, uint32_t mode, uint16_t flags, uint32_t size) {
  QV_Handle handle = camera.Handle();
  Notify(handle, QV_MSG_ACQ_BEGIN, 1, nullptr);
  if (!camera.slots.empty()) {
    // The slot gives up its reference; other holders keep the old record.
    ReleaseSlot(camera, 0);
    camera.slots[0] = nullptr;
  }
  _CamData* record = CreateCamData(mode, flags, size, nullptr);
  if (record) {
    record->refCount = 0;  // the slot takes the first reference
    StoreInSlot(camera, 0, record);
  }
  // Sent on failure too, so that listeners always see the rebuild end.
  Notify(handle, QV_MSG_ACQ_END, 1, nullptr);
  return record;
}

}  // namespace

int32_t ReadData(CPelCam& camera, void* buffer, uint32_t size) {
  if (!buffer && size) return -1;
  QV_Handle handle = camera.Handle();
  int32_t result = ReadFromSource(camera, buffer, size);
  // A callback may have closed the system while the source reported.
  if (handle && !IsOpenSystem(handle)) return result;
  // A failed read leaves the buffer holding the previous acquisition (or
  // nothing); recording it would replay an acquisition that never happened.
  if (result >= 0) AppendAcquisition(camera, buffer, size);
  return result;
}

int32_t Acquire(CPelCam& camera) {
  _CamData* record = SlotRecord(camera, 0);
  uint32_t mode = DetermineDataMode(camera);
  uint16_t flags = RawAcquisitionFlags(mode);
  uint32_t size = ComputeDataSize(camera, mode, flags, nullptr);
  if (record && record->size >= size && record->mode == mode) {
    if (!record->data && size) return -1;
    return ReadData(camera, record->data, size);
  }
  if (record && (record->flags & QV_CD_EXTERNAL)) return -1;
  record = RebuildAcquisitionBuffer(camera, mode, flags, size);
  if (!record) return -1;
  return ReadData(camera, record->data, size);
}

}  // namespace orvex
