#pragma once

#include <cstdint>

#include "Orvex.h"

namespace orvex {

// A camera data record as one block: the record, then (unless the data live in
// an external buffer) its data, 16-byte aligned. refCount starts at 1.
// Returns null when memory runs out.
_CamData* CreateCamData(uint32_t mode, uint16_t flags, uint32_t size, void* externalBuffer);

// Drops one holder: frees the record when it had one (or none), else lowers the
// count. Returns true when the record was freed.
bool ReleaseCamData(_CamData* record);

}  // namespace orvex
