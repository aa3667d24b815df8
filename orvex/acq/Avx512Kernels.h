// AVX-512 kernels of the processing routines (regrouping has its own) whose
// AVX2 kernels wait on their 32-byte stores. Only for processors with AVX-512
// byte permutes (BestSimdLevel); the AVX2 kernels stay for the others.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvex {

// Window expansion with a single sample (H = 0) of `rows` whole rows: each
// row's output is a permutation of its own source bytes. Stays within the
// rows' source and output. Returns the rows done (all, or none where the
// kernel is not built).
size_t ExpandSingleSampleRowsAvx512(const uint8_t* in, uint8_t* out, size_t rows);

// Copies a run of `bytes` in 64-byte vectors, the last of which may overlap
// the one before it; returns the bytes copied (none below 64).
size_t CopyVectorsAvx512(uint8_t* out, const uint8_t* in, size_t bytes);

// AddSurfaceOffsets on the first words, 32 at a time; returns the words done.
size_t AddSurfaceOffsetsAvx512(uint8_t* data, const uint8_t* offsets, size_t words);

}  // namespace orvex
