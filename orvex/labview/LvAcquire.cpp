// LV_Acquire: one acquisition into LabVIEW arrays, raw or processed.
#include <algorithm>
#include <cstring>

#include "OrvexLabVIEW.h"
#include "acq/CamDataRecord.h"
#include "acq/DataMode.h"
#include "acq/Slots.h"
#include "core/ExportGuard.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "labview/LvArray.h"
#include "labview/LvRuntime.h"

namespace orvex::lv {
namespace {

constexpr uint8_t kRawSlot = 0;
constexpr uint8_t kProcessedSlot = 1;
constexpr uint32_t kHeaderWords = kFrameHeaderBytes / 2;

struct Request {
  uint32_t mode;
  uint16_t flags;
  bool raw;
  uint32_t size = 0;
  _CamDataMeta meta{};
  int32_t typeCode = 0;
  size_t elements = 0;
};

void Report(CPelSys& system, const char* text) { ReportText(&system, kMsgLabViewWarning, "%s", text); }

// Element type of the LabVIEW array by data mode; 0 for modes without data.
int32_t TypeCodeFor(uint32_t mode) {
  switch (mode) {
    case 1: case 2: case 3: case 5: case 6: return LV_TYPE_U16;
    case 4: return LV_TYPE_U8;
    case 7: case 8: case 9: return LV_TYPE_F32;
    default: return 0;
  }
}

Request MakeRequest(CPelCam& camera, uint32_t mode, uint16_t flags) {
  Request request{mode, static_cast<uint16_t>(flags | QV_CD_EXTERNAL),
                  (flags & QV_CD_USB_PADDED) && (flags & QV_CD_HEADER)};
  // Processing always writes the expanded window layout; a compact-sized
  // destination would be overrun.
  if (!request.raw) request.flags &= ~QV_CD_COMPACT;
  request.size = ComputeDataSize(camera, request.mode, request.flags, &request.meta);
  request.typeCode = TypeCodeFor(mode);
  if (request.typeCode) request.elements = request.size / ElementSize(request.typeCode);
  return request;
}

LV_MgErr ResizeData(LV_Handle data, const Request& request) {
  if (request.raw) {
    uint32_t count = static_cast<uint32_t>(request.elements);
    return ResizeArray(data, request.typeCode, &count, 1, request.elements);
  }
  uint32_t extents[5] = {};
  int32_t numDim = std::min<int32_t>(request.meta.numDim, 5);
  for (int32_t d = 0; d < numDim; ++d) extents[d] = request.meta.dimSz[numDim - 1 - d];
  return ResizeArray(data, request.typeCode, extents, numDim, request.elements);
}

// The slot's record describes the LabVIEW array it points into. A record of
// an earlier call is refreshed, not only re-pointed: stale sizes would let the
// acquisition or the processing write past the array.
void PointSlotAt(CPelCam& camera, uint8_t slot, const Request& request, void* elements) {
  _CamData* record = SlotRecord(camera, slot);
  if (record && (record->flags & QV_CD_EXTERNAL)) {
    record->size = request.size;
    record->mode = request.mode;
    record->flags = request.flags;
    record->data = elements;
    return;
  }
  _CamData* fresh = CreateCamData(request.mode, request.flags, request.size, elements);
  if (!fresh) throw std::bad_alloc();
  fresh->refCount = 0;  // the slot takes the first reference
  StoreInSlot(camera, slot, fresh);
}

// Copies the frame header and processes slot 0 into slot 1.
int32_t FinishProcessed(CPelSys& system, LV_Handle header) {
  if (ResizeArray(header, LV_TYPE_U16, {kHeaderWords}) != kNoErr) {
    Report(system, "LV_Acquire: NumericArrayResize(3) failed");
    return -1;
  }
  _CamData* raw = QV_GetCamData(&system, kRawSlot, 0, nullptr);
  if (!raw || !raw->data) {
    Report(system, "LV_Acquire: cdRaw is 0");
    return -1;
  }
  uint8_t* target = ArrayElements(header, LV_TYPE_U16, 1);
  size_t bytes = std::min<size_t>(raw->size, kFrameHeaderBytes);
  std::memcpy(target, raw->data, bytes);
  std::memset(target + bytes, 0, kFrameHeaderBytes - bytes);
  QV_ProcessCamData(&system, kProcessedSlot, 0, nullptr);
  return 0;
}

int32_t Acquire(CPelSys& system, uint32_t mode, uint16_t flags, LV_Handle data, LV_Handle header,
                LV_AcquireInfo& info) {
  CPelCam& camera = *system.camera;
  Request request = MakeRequest(camera, mode, flags);
  if (!request.typeCode || request.size == 0) {
    Report(system, "LV_Acquire: illegal format");
    return -1;
  }
  // The header array is resized after the data array has been handed to the
  // processing; one block for both would be pulled from under it.
  if (!request.raw && header == data) {
    Report(system, "LV_Acquire: NumericArrayResize(3) failed");
    return -1;
  }
  if (ResizeData(data, request) != kNoErr) {
    Report(system, request.raw ? "LV_Acquire: NumericArrayResize(1) failed" : "LV_Acquire: NumericArrayResize(2) failed");
    return -1;
  }
  info.numDim = request.raw ? 1 : request.meta.numDim;
  info.typeCode = static_cast<uint32_t>(request.typeCode);
  info.dataSize = request.size;
  int32_t handleSize = GetHandleSize(data);
  info.handleSize = static_cast<uint32_t>(std::max(handleSize, 0));
  if (handleSize < 0 || static_cast<uint32_t>(handleSize) < request.size) {
    Report(system, "LV_Acquire: szHdlData<szData");
    return -1;
  }
  PointSlotAt(camera, request.raw ? kRawSlot : kProcessedSlot, request,
              ArrayElements(data, request.typeCode, request.raw ? 1 : request.meta.numDim));
  // A raw call's array left in slot 0 may be gone by now; the acquisition
  // gets a buffer of its own instead.
  const _CamData* acquisitionBuffer = SlotRecord(camera, kRawSlot);
  if (!request.raw && acquisitionBuffer && (acquisitionBuffer->flags & QV_CD_EXTERNAL)) camera.ReleaseAcquisitionBuffer();
  int32_t acquired = QV_Acquire(&system);
  if (acquired <= 0) {
    Report(system, "LV_Acquire: QV_Acquire failed");
    return acquired;
  }
  if (request.raw) return acquired;
  return FinishProcessed(system, header) < 0 ? -1 : acquired;
}

}  // namespace
}  // namespace orvex::lv

using namespace orvex;

extern "C" QV_API int32_t LV_Acquire(QV_Handle handle, uint32_t mode, uint16_t flags, LV_Handle data,
                                     LV_Handle header, LV_AcquireInfo* info) {
  return Guarded("LV_Acquire", int32_t{-1}, [&]() -> int32_t {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    LV_AcquireInfo unused{};
    return lv::Acquire(*system, mode, flags, data, header, info ? *info : unused);
  });
}
