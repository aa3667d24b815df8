// Exported acquisition and camera-data-record functions.
#include "Orvex.h"
#include "acq/Acquisition.h"
#include "acq/CamDataRecord.h"
#include "acq/DataMode.h"
#include "acq/Slots.h"
#include "core/ExportGuard.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

using namespace orvex;

namespace {

CPelCam* CameraOf(QV_Handle handle) {
  CPelSys* system = CheckHandle(handle);
  return system ? system->camera.get() : nullptr;
}

}  // namespace

extern "C" {

QV_API int32_t QV_Acquire(QV_Handle handle) {
  return Guarded("QV_Acquire", int32_t{-1}, [&] {
    CPelCam* camera = CameraOf(handle);
    return camera ? Acquire(*camera) : -1;
  });
}

QV_API _CamData* QV_AllocCamData(QV_Handle handle, uint8_t slot, uint32_t mode, uint16_t flags, void* buffer,
                                 uint32_t bufferSize) {
  return Guarded("QV_AllocCamData", static_cast<_CamData*>(nullptr), [&]() -> _CamData* {
    CPelCam* camera = CameraOf(handle);
    if (!camera) return nullptr;
    uint32_t size = buffer ? bufferSize : ComputeDataSize(*camera, mode, flags, nullptr);
    // An external record without a buffer has no bytes to describe.
    if ((flags & QV_CD_EXTERNAL) && !buffer) size = 0;
    _CamData* record = CreateCamData(mode, flags, size, buffer);
    if (!record) return nullptr;
    record->refCount = 0;  // the slot takes the first reference
    StoreInSlot(*camera, slot, record);
    return record;
  });
}

QV_API _CamData* QV_GetCamData(QV_Handle handle, uint8_t slot, int8_t addRef, _CamDataMeta* meta) {
  return Guarded("QV_GetCamData", static_cast<_CamData*>(nullptr), [&]() -> _CamData* {
    CPelCam* camera = CameraOf(handle);
    if (!camera) return nullptr;
    _CamData* record = SlotRecord(*camera, slot);
    if (!record) return nullptr;
    if (addRef && record->refCount < 0xFFFF) ++record->refCount;
    if (meta) ComputeDataSize(*camera, record->mode, record->flags, meta);
    return record;
  });
}

QV_API int32_t QV_SetCamData(QV_Handle handle, uint8_t slot, _CamData* record) {
  return Guarded("QV_SetCamData", int32_t{-1}, [&] {
    CPelCam* camera = CameraOf(handle);
    if (!camera) return -1;
    if (SlotRecord(*camera, slot) == record && record) return 0;
    StoreInSlot(*camera, slot, record);
    return 0;
  });
}

QV_API _CamData* QV_FreeCamData(QV_Handle handle, uint32_t slot) {
  return Guarded("QV_FreeCamData", static_cast<_CamData*>(nullptr), [&]() -> _CamData* {
    CPelCam* camera = CameraOf(handle);
    return camera ? ReleaseSlot(*camera, slot) : nullptr;
  });
}

QV_API int32_t QV_Read(QV_Handle handle, uint16_t* buffer, uint32_t size, int32_t flags) {
  return Guarded("QV_Read", int32_t{-1}, [&] {
    CPelCam* camera = CameraOf(handle);
    if (!camera || flags != 0) return -1;
    return ReadData(*camera, buffer, size);
  });
}

QV_API int32_t QV_Write(QV_Handle handle, ...) {
  return Guarded("QV_Write", int32_t{-1}, [&] {
    CameraOf(handle);
    return -1;
  });
}

}  // extern "C"
