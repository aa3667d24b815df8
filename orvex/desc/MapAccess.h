// Map values spread over bit fields of 8-bit registers.
#pragma once

#include <cstdint>

#include "Orvex.h"

class CPelCam;

namespace orvex {

// Map write: read-modify-write of every register entry in list order; 0.
int32_t SetMapValue(CPelCam& camera, const _Map* map, uint32_t value);
// Map read: the value assembled from the entries; 0 for no map or no entries.
uint32_t GetMapValue(CPelCam& camera, const _Map* map);

// Convenience for internal callers that work by name: the map's value, or
// `fallback` when the description has no map of that name.
uint32_t GetMapValueByName(CPelCam& camera, const char* name, uint32_t fallback, bool* found = nullptr);

}  // namespace orvex
