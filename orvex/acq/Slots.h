// The camera's slot array of reference-counted camera data records.
#pragma once

#include <cstddef>

#include "Orvex.h"

class CPelCam;

namespace orvex {

// The record in the slot, or null (no such slot, or empty).
_CamData* SlotRecord(const CPelCam& camera, size_t slot);
// Grows the array as needed, releases the slot's record, takes a reference on
// the new one and stores it (null empties the slot).
void StoreInSlot(CPelCam& camera, size_t slot, _CamData* record);
// Drops the slot's reference: frees a last-held record and empties the slot
// (null), else leaves it in the slot and returns it.
_CamData* ReleaseSlot(CPelCam& camera, size_t slot);

}  // namespace orvex
