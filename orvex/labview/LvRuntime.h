// The two LabVIEW memory-manager functions the LabVIEW interface needs, bound
// at first use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "OrvexLabVIEW.h"

namespace orvex::lv {

constexpr LV_MgErr kNoErr = 0;
constexpr LV_MgErr kArgErr = 1;
constexpr LV_MgErr kFullErr = 2;
// Returned in place of a resize result when no run-time could be bound.
constexpr LV_MgErr kNotSupported = 53;

// Chooses the module to search; null returns to the automatic search. Drops
// any earlier binding.
void SetRuntimeModule(void* module);

// Both run through the bound run-time; without one they report once per call
// and fail (kNotSupported, size -1).
LV_MgErr NumericArrayResize(int32_t typeCode, int32_t numDims, LV_Handle* handle, size_t elements);
int32_t GetHandleSize(LV_Handle handle);

}  // namespace orvex::lv
