#include "labview/LvArray.h"

#include <cstring>
#include <limits>

#include "labview/LvRuntime.h"

namespace orvex::lv {

size_t ElementSize(int32_t typeCode) {
  switch (typeCode) {
    case 1: case 5: return 1;
    case 2: case 6: return 2;
    case 3: case 7: case 9: return 4;
    case 4: case 8: case 10: return 8;
    default: return 0;
  }
}

LV_MgErr ResizeArray(LV_Handle handle, int32_t typeCode, const uint32_t* extents, int32_t numDims, size_t elements) {
  if (!handle || numDims < 1) return kArgErr;
  // LabVIEW counts elements in int32.
  if (elements > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return kFullErr;
  for (int32_t d = 0; d < numDims; ++d)
    if (extents[d] > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) return kFullErr;
  LV_MgErr result = NumericArrayResize(typeCode, numDims, &handle, elements);
  if (result != kNoErr) return result;
  if (!*handle) return kFullErr;
  auto* block = static_cast<int32_t*>(*handle);
  for (int32_t d = 0; d < numDims; ++d) {
    int32_t extent = static_cast<int32_t>(extents[d]);
    std::memcpy(block + d, &extent, sizeof extent);
  }
  return kNoErr;
}

LV_MgErr ResizeArray(LV_Handle handle, int32_t typeCode, std::initializer_list<uint32_t> extents) {
  size_t elements = 1;
  for (uint32_t extent : extents) {
    if (extent != 0 && elements > std::numeric_limits<size_t>::max() / extent) return kFullErr;
    elements *= extent;
  }
  return ResizeArray(handle, typeCode, extents.begin(), static_cast<int32_t>(extents.size()), elements);
}

uint8_t* ArrayElements(LV_Handle handle, int32_t typeCode, int32_t numDims) {
  size_t offset = static_cast<size_t>(numDims) * sizeof(int32_t);
  if (sizeof(void*) == 8 && ElementSize(typeCode) == 8) offset = (offset + 7) & ~size_t{7};
  return static_cast<uint8_t*>(*handle) + offset;
}

}  // namespace orvex::lv
