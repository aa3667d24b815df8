#include "AcquireStub.h"

#include <algorithm>
#include <cstring>

#include "Orvex.h"
#include "acq/CamDataRecord.h"
#include "acq/DataMode.h"
#include "api/PelSys.h"
#include "api/SystemList.h"

namespace lvtest {

AcquireCalls& Calls() {
  static AcquireCalls calls;
  return calls;
}

namespace {

void FillWords(void* data, uint32_t size) {
  auto* bytes = static_cast<uint8_t*>(data);
  for (uint32_t i = 0; i + 1 < size; i += 2) {
    uint16_t word = static_cast<uint16_t>(i / 2);
    std::memcpy(bytes + i, &word, 2);
  }
}

_CamData* SlotRecord(CPelCam& camera, uint8_t slot) { return slot < camera.slots.size() ? camera.slots[slot] : nullptr; }

}  // namespace
}  // namespace lvtest

// Weak: the library's own definitions take over once they are linked in.
extern "C" {

__attribute__((weak)) int32_t QV_Acquire(QV_Handle handle) {
  CPelSys* system = orvex::CheckHandle(handle);
  if (!system) return -1;
  ++lvtest::Calls().acquire;
  CPelCam& camera = *system->camera;
  uint32_t mode = orvex::DetermineDataMode(camera);
  uint16_t flags = mode == 5 ? 12 : 28;
  uint32_t size = orvex::ComputeDataSize(camera, mode, flags, nullptr);
  _CamData* record = lvtest::SlotRecord(camera, 0);
  if (!record || record->size < size || record->mode != mode) {
    if (record && (record->flags & QV_CD_EXTERNAL)) return -1;
    if (camera.slots.empty()) camera.slots.resize(1, nullptr);
    orvex::ReleaseCamData(record);
    record = camera.slots[0] = orvex::CreateCamData(mode, flags, size, nullptr);
  }
  lvtest::FillWords(record->data, size);
  return static_cast<int32_t>(size);
}

__attribute__((weak)) _CamData* QV_GetCamData(QV_Handle handle, uint8_t slot, int8_t addRef, _CamDataMeta*) {
  CPelSys* system = orvex::CheckHandle(handle);
  if (!system) return nullptr;
  _CamData* record = lvtest::SlotRecord(*system->camera, slot);
  if (record && addRef) ++record->refCount;
  return record;
}

// Copies the data behind the header; enough to see where the result lands.
__attribute__((weak)) _CamData* QV_ProcessCamData(QV_Handle handle, uint8_t slot, uint32_t, void*) {
  CPelSys* system = orvex::CheckHandle(handle);
  if (!system) return nullptr;
  ++lvtest::Calls().process;
  _CamData* source = lvtest::SlotRecord(*system->camera, 0);
  _CamData* target = lvtest::SlotRecord(*system->camera, slot);
  if (!source || !target) return nullptr;
  uint32_t skip = (source->flags & QV_CD_HEADER) ? orvex::kFrameHeaderBytes : 0;
  uint32_t bytes = std::min(target->size, source->size > skip ? source->size - skip : 0);
  std::memcpy(target->data, static_cast<uint8_t*>(source->data) + skip, bytes);
  return target;
}

}  // extern "C"
