// Sizing and addressing LabVIEW arrays: a block of int32 extents, outermost
// first, followed by the elements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "OrvexLabVIEW.h"

namespace orvex::lv {

size_t ElementSize(int32_t typeCode);  // 0 for codes not used here

// Resizes the array to the product of the extents and writes the extents at
// once, so the array never claims more elements than its block holds. A null
// handle is refused: handles arrive by value, a new one would never reach the
// caller.
LV_MgErr ResizeArray(LV_Handle handle, int32_t typeCode, std::initializer_list<uint32_t> extents);
// The same with an element count that may exceed the product of the extents.
LV_MgErr ResizeArray(LV_Handle handle, int32_t typeCode, const uint32_t* extents, int32_t numDims, size_t elements);

// First element of an array of numDims dimensions of this type.
uint8_t* ArrayElements(LV_Handle handle, int32_t typeCode, int32_t numDims);

}  // namespace orvex::lv
