// AVX2 kernels of the intensity and offset routines. Each does the leading part
// of its work that fills whole vectors and returns how far it got; the caller
// finishes portably. Only for processors with AVX2 (BestSimdLevel).
#pragma once

#include <cstddef>
#include <cstdint>

#include "acq/ProcessRoutines.h"

namespace orvex {

// Intensity planes of the pixels of one row (see IntensityRoutine.cpp), eight
// at a time, lane by lane the operations of the portable kernel. Returns the
// bytes of the row done.
size_t RowPlanesAvx2(uint8_t* row, size_t rowBytes, size_t frameBytes, const IntensityParams& params);

// AddSurfaceOffsets on the first words, sixteen at a time; returns the words done.
size_t AddSurfaceOffsetsAvx2(uint8_t* data, const uint8_t* offsets, size_t words);

}  // namespace orvex
