#include "acq/ProcessCamData.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "acq/ParallelParts.h"
#include "acq/ProcessRoutines.h"
#include "core/ExportGuard.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "desc/MapAccess.h"

namespace orvex {
namespace {

struct ByteRange {
  uint8_t* data;
  size_t size;
};

// The data a routine reads: behind the frame header when the record has one.
ByteRange Payload(const _CamData& record) {
  auto* data = static_cast<uint8_t*>(record.data);
  if (!data) return {nullptr, 0};
  if (!(record.flags & QV_CD_HEADER)) return {data, record.size};
  if (record.size < kFrameHeaderBytes) return {nullptr, 0};
  return {data + kFrameHeaderBytes, record.size - kFrameHeaderBytes};
}

ByteRange Whole(const _CamData& record) { return {static_cast<uint8_t*>(record.data), record.size}; }

bool Overlap(const _CamData& a, const _CamData& b) {
  auto a0 = reinterpret_cast<uintptr_t>(a.data), b0 = reinterpret_cast<uintptr_t>(b.data);
  return a0 < b0 + b.size && b0 < a0 + a.size;
}

// Results are i32 and only their sign is judged: a huge record must not read
// as a failure.
int32_t SizeResult(uint64_t bytes) { return bytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes); }

constexpr const char* kTooSmall = "CPelCam::ProcessCamData(): record too small for the data mode";
constexpr const char* kOverlap = "CPelCam::ProcessCamData(): source and destination overlap";
constexpr const char* kFewFrames = "CPelCam::ProcessCamData(): too few frames for the intensity planes";

int32_t Checked(bool done, uint64_t result, const char* problem, const char** reason) {
  if (done) return SizeResult(result);
  if (reason) *reason = problem;
  return -1;
}

int32_t ProcessA16Z16(const _CamData& src, _CamData& dst, const char** reason) {
  ByteRange in = Payload(src), out = Whole(dst);
  bool widen = !(src.flags & QV_CD_CROSS) && (dst.flags & QV_CD_CROSS);
  if (widen) return Checked(WidenCentreCross(in.data, in.size, out.data, out.size), dst.size, kTooSmall, reason);
  bool fits = in.data && out.data && in.size >= dst.size;
  if (fits && dst.size) std::memcpy(out.data, in.data, dst.size);
  return Checked(fits, dst.size, kTooSmall, reason);
}

int32_t ProcessIntensity(const ProcessParams& params, const _CamData& src, _CamData& dst, const char** reason) {
  const uint32_t n = params.acq.frames, d = params.acq.darkFrames;
  if (!IntensityFramesUsable(n, d)) return Checked(false, 0, kFewFrames, reason);
  ByteRange in = Payload(src), out = Whole(dst);
  IntensityParams intensity{n, d, ExposureFactor(params.expRatio)};
  bool done = ComputeIntensity(in.data, in.size, out.data, out.size, intensity);
  // Planes written per frame of the destination, as a byte count.
  return Checked(done, uint64_t{n - d - 3} * dst.size / n, kTooSmall, reason);
}

// Small records stay on the calling thread: a thread costs more than it saves there.
uint32_t ThreadsFor(const ProcessParams& params, const _CamData& dst) {
  return dst.size >= kParallelRecordBytes ? params.threads : 1;
}

int32_t Regroup(const ProcessParams& params, const _CamData& src, _CamData& dst, const StackShape& shape,
                const char** reason) {
  ByteRange in = Payload(src), out = Whole(dst);
  bool done = RegroupFrames(BestSimdLevel(), in.data, in.size, out.data, out.size, shape, params.acq.frames,
                            ThreadsFor(params, dst));
  return Checked(done, dst.size, kTooSmall, reason);
}

int32_t Expand(const ProcessParams& params, const _CamData& src, _CamData& dst, const char** reason) {
  ByteRange in = Payload(src), out = Whole(dst);
  bool done = ExpandWindow(BestSimdLevel(), in.data, in.size, out.data, out.size, params.acq.halfWindow,
                           ThreadsFor(params, dst));
  return Checked(done, dst.size, kTooSmall, reason);
}

bool RoutineApplies(uint32_t srcMode, uint32_t dstMode) {
  return (srcMode == dstMode && srcMode >= 3 && srcMode <= 7) || (srcMode == 1 && dstMode == 1) ||
         (srcMode == 7 && dstMode == 1);
}

}  // namespace

ProcessParams ReadProcessParams(CPelCam& camera) {
  ProcessParams params;
  params.acq = ReadAcqParams(camera);
  params.expRatio = GetMapValueByName(camera, "SensExpRatio", 0);
  params.threads = camera.processingThreads;
  return params;
}

int32_t ProcessRecord(const ProcessParams& params, const _CamData& src, _CamData& dst, const char** reason) {
  if (!RoutineApplies(src.mode, dst.mode)) return 0;
  if (&src == &dst || Overlap(src, dst)) return Checked(false, 0, kOverlap, reason);
  switch (dst.mode) {
    case 1: return Regroup(params, src, dst, kStack300x300x32, reason);
    case 3: return Regroup(params, src, dst, kStack282x292x16, reason);
    case 4: return Regroup(params, src, dst, kStack282x292x8, reason);
    case 5: return ProcessA16Z16(src, dst, reason);
    case 6: return Expand(params, src, dst, reason);
    case 7: return ProcessIntensity(params, src, dst, reason);
    default: return 0;
  }
}

int32_t AddOffsetPattern(_CamData& record, const uint16_t* offsets) {
  if (!offsets) return -1;
  if (record.mode != 5) return SizeResult(record.size);
  ByteRange words = Payload(record);
  if (words.data && words.size >= 4) AddSurfaceOffsets(words.data, offsets, words.size / 2);
  return SizeResult(record.size);
}

}  // namespace orvex

namespace {

using namespace orvex;

_CamData* SlotRecord(const CPelCam& camera, size_t slot) {
  return slot < camera.slots.size() ? camera.slots[slot] : nullptr;
}

_CamData* ProcessIntoSlot(CPelCam& camera, uint8_t slot) {
  _CamData* dst = SlotRecord(camera, slot);
  _CamData* src = SlotRecord(camera, 0);
  if (!dst || !src) return nullptr;
  // Slot 0 is the source; processing a record into itself would read what it
  // has just overwritten.
  if (slot == 0 || dst == src) {
    ReportText(camera.Handle(), kMsgDataWarning, "%s", "CPelCam::ProcessCamData(): slot 0 is the source");
    return nullptr;
  }
  const char* reason = nullptr;
  int32_t result = ProcessRecord(ReadProcessParams(camera), *src, *dst, &reason);
  if (result >= 0) return dst;
  if (reason) ReportText(camera.Handle(), kMsgDataWarning, "%s", reason);
  return nullptr;
}

_CamData* OffsetSlot(CPelCam& camera, uint8_t slot, const void* argument) {
  _CamData* record = SlotRecord(camera, slot);
  if (!record) return nullptr;
  if (AddOffsetPattern(*record, static_cast<const uint16_t*>(argument)) >= 0) return record;
  ReportText(camera.Handle(), kMsgDataWarning, "%s", "CPelCam::ProcessCamData(): no offset array");
  return nullptr;
}

}  // namespace

extern "C" QV_API _CamData* QV_ProcessCamData(QV_Handle handle, uint8_t slot, uint32_t command, void* argument) {
  return Guarded("QV_ProcessCamData", static_cast<_CamData*>(nullptr), [&]() -> _CamData* {
    CPelSys* system = CheckHandle(handle);
    if (!system) return nullptr;
    switch (command) {
      case 0:
      case 5: return ProcessIntoSlot(*system->camera, slot);
      case 1: return OffsetSlot(*system->camera, slot, argument);
      default: return nullptr;
    }
  });
}

extern "C" QV_API int32_t QV_SetProcessingThreads(QV_Handle handle, uint32_t threads) {
  return Guarded("QV_SetProcessingThreads", int32_t{-1}, [&] {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    CPelCam& camera = *system->camera;
    const uint32_t previous = camera.processingThreads;
    camera.processingThreads = std::min(std::max(threads, 1u), kMaxProcessingThreads);
    return static_cast<int32_t>(previous);
  });
}
