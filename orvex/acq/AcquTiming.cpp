#include "acq/AcquTiming.h"

#include "core/ExportGuard.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "desc/MapAccess.h"
#include "desc/NameLookup.h"

namespace orvex {
namespace {

// One SensTqp step is 1 / 0.00875 ns, counted from an offset of 30 steps; one
// SensOffCompDur step is 28.571428 ns.
constexpr float kTqpPerNs = 0.00875f;
constexpr float kNsPerTqp = 114.28571f;
constexpr float kNsPerOffComp = 28.571428f;
constexpr uint32_t kTqpOffset = 30;

constexpr const char* kMissingMap = "QV_AcquTiming missing map register.";

const _Map* RequireMap(CPelCam& camera, const char* name) {
  const _Map* map = FindMap(camera.regDesc.get(), name);
  if (!map) ReportText(nullptr, kMsgTimingWarning, "%s", kMissingMap);
  return map;
}

// The calibration duration added to every frame; negative when a map is missing.
int64_t CalibrationDuration(CPelCam& camera, uint32_t demodPeriod) {
  const _Map* enable = RequireMap(camera, "BSEnable");
  if (!enable) return -2;
  if (GetMapValue(camera, enable) == 0) return 0;
  const _Map* oneCycle = RequireMap(camera, "CalDur1Cyc");
  if (!oneCycle) return -3;
  if (GetMapValue(camera, oneCycle) != 0) return demodPeriod;
  const _Map* offComp = RequireMap(camera, "SensOffCompDur");
  if (!offComp) return -4;
  return CalDurationForOffComp(GetMapValue(camera, offComp));
}

}  // namespace

uint32_t Nearest(float x) {
  float rounded = x + 0.5f;
  if (!(rounded >= 1.0f)) return 0;  // also NaN
  if (rounded >= 4294967296.0f) return UINT32_MAX;
  return static_cast<uint32_t>(rounded);
}

uint32_t SensTqpForPeriod(uint32_t demodPeriodNs) {
  uint32_t steps = Nearest(static_cast<float>(demodPeriodNs) * kTqpPerNs);
  return steps > kTqpOffset ? steps - kTqpOffset : 0;
}

uint32_t SensNavM2ForPeriods(uint32_t framePeriodNs, uint32_t demodPeriodNs) {
  uint32_t ratio = demodPeriodNs ? framePeriodNs / demodPeriodNs : 0;
  return ratio >= 2 ? (ratio - 2) >> 1 : 0;
}

uint32_t DemodPeriodForSensTqp(uint32_t sensTqp) {
  return Nearest(static_cast<float>(sensTqp + kTqpOffset) * kNsPerTqp);
}

uint32_t CalDurationForOffComp(uint32_t sensOffCompDur) {
  return Nearest(static_cast<float>(sensOffCompDur) * kNsPerOffComp);
}

int32_t UpdateAcquTiming(CPelCam& camera, QV_AcquTiming* timing, uint16_t what) {
  if ((what & (kTimingSet | kTimingGet)) && !timing) {
    ReportText(nullptr, kMsgTimingWarning, "%s", "QV_UpdateAcquTiming(): no timing record.");
    return -1;
  }
  const _Map* tqp = RequireMap(camera, "SensTqp");
  if (!tqp) return -1;
  const _Map* navM2 = RequireMap(camera, "SensNavM2");
  if (!navM2) return -1;
  uint32_t tqpValue, navM2Value;
  if (what & kTimingSet) {
    if (timing->demodPeriod == 0) {
      ReportText(nullptr, kMsgTimingWarning, "%s", "QV_UpdateAcquTiming(): demodulation period 0.");
      return -5;
    }
    tqpValue = SensTqpForPeriod(timing->demodPeriod);
    navM2Value = SensNavM2ForPeriods(timing->framePeriod, timing->demodPeriod);
    SetMapValue(camera, tqp, tqpValue);
    SetMapValue(camera, navM2, navM2Value);
  } else {
    tqpValue = GetMapValue(camera, tqp);
    navM2Value = GetMapValue(camera, navM2);
  }
  if (!(what & kTimingGet)) return 0;

  const uint32_t demodPeriod = DemodPeriodForSensTqp(tqpValue);
  timing->demodPeriod = demodPeriod;
  const uint32_t cycles = 2 * navM2Value + 2;
  const int64_t calibration = CalibrationDuration(camera, demodPeriod);
  if (calibration < 0) return static_cast<int32_t>(calibration);
  timing->calDuration = static_cast<uint32_t>(calibration);
  timing->framePeriod = demodPeriod * cycles + timing->calDuration;
  return 0;
}

}  // namespace orvex

extern "C" QV_API int32_t QV_UpdateAcquTiming(QV_Handle handle, QV_AcquTiming* timing, uint16_t what) {
  return orvex::Guarded("QV_UpdateAcquTiming", int32_t{-1}, [&] {
    CPelSys* system = orvex::CheckHandle(handle);
    if (!system) return -1;
    return orvex::UpdateAcquTiming(*system->camera, timing, what);
  });
}
