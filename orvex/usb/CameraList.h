// The connected cameras with what a user needs to tell them apart.
#pragma once

#include <cstdint>

#include "Orvex.h"

namespace orvex {

// Fills up to max entries (in bus order, as QV_GetSerials) and returns the
// number of cameras on the bus.
uint32_t ListCameras(QV_CameraEntry* entries, uint32_t max);

}  // namespace orvex
