// Conversion between the sensor timing maps (SensTqp, SensNavM2 and the
// calibration maps) and times in nanoseconds. Single-precision throughout, so
// results match the device's own tables bit for bit.
#pragma once

#include <cstdint>

#include "Orvex.h"

class CPelCam;

namespace orvex {

// x + 0.5 truncated toward zero; limited to the u32 range.
uint32_t Nearest(float x);

// SensTqp for a demodulation period; periods shorter than the offset of 30
// steps give 0, the shortest the sensor has.
uint32_t SensTqpForPeriod(uint32_t demodPeriodNs);
// SensNavM2 for a frame period; a ratio below 2 (shorter than two cycles) gives
// 0, the fewest cycles. demodPeriodNs must not be 0.
uint32_t SensNavM2ForPeriods(uint32_t framePeriodNs, uint32_t demodPeriodNs);
uint32_t DemodPeriodForSensTqp(uint32_t sensTqp);
uint32_t CalDurationForOffComp(uint32_t sensOffCompDur);

// The whole operation behind QV_UpdateAcquTiming (after the handle check).
// 0, or -1 (SensTqp or SensNavM2 missing, no record), -2 (BSEnable missing),
// -3 (CalDur1Cyc missing), -4 (SensOffCompDur missing), -5 (setting with a
// demodulation period of 0: nothing written).
int32_t UpdateAcquTiming(CPelCam& camera, QV_AcquTiming* timing, uint16_t what);

constexpr uint16_t kTimingSet = 1;
constexpr uint16_t kTimingGet = 2;

}  // namespace orvex
