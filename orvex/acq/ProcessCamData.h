// Processing of camera data records: the routine choice by data modes, the size
// checks against the records, and the offset pattern command.
#pragma once

#include <cstdint>

#include "Orvex.h"
#include "acq/DataMode.h"

class CPelCam;

namespace orvex {

// Parameters processing reads from the registers at each call.
struct ProcessParams {
  AcqParams acq;         // N, D, H
  uint32_t expRatio = 0; // SensExpRatio
  uint32_t threads = 1;   // for records of at least kParallelRecordBytes
};
ProcessParams ReadProcessParams(CPelCam& camera);

// Processes src (the acquisition record) into dst. Returns the routine's result
// (0 when no routine applies to the pair of modes) or -1 when nothing could be
// processed: a record without data, a record shorter than the routine needs,
// overlapping records, or frame counts the intensity routine cannot use; then
// *reason (when given) names the problem.
int32_t ProcessRecord(const ProcessParams& params, const _CamData& src, _CamData& dst,
                      const char** reason = nullptr);

// Adds the offset pattern to a data-mode-5 record; the record's size, or -1
// without an offset array. Other modes are left unchanged.
int32_t AddOffsetPattern(_CamData& record, const uint16_t* offsets);

}  // namespace orvex
