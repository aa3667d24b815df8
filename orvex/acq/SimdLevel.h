// The instruction set a processing routine runs on. The library is built for
// any x86-64; the wider kernels are compiled for AVX2 (and a few for AVX-512
// with byte permutes) on their own and chosen at run time, so one build runs
// everywhere at the speed the processor allows.
// Every routine also takes the level explicitly, which lets the tests compare
// the kernels with each other on the same input.
#pragma once

namespace orvex {

// Each level includes the ones before it.
enum class SimdLevel { kPortable, kAvx2, kAvx512 };

// Whether the AVX2 kernels may run: the AVX-512 level replaces only the few
// kernels it makes faster and keeps the AVX2 ones for the rest.
inline bool HasAvx2(SimdLevel level) { return level >= SimdLevel::kAvx2; }

// The widest level this processor runs; the answer never changes.
SimdLevel BestSimdLevel();

}  // namespace orvex
