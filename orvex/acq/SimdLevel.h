// The instruction set a processing routine runs on. The library is built for
// any x86-64; the wider kernels are compiled for AVX2 on their own and chosen
// at run time, so one build runs everywhere at the speed the processor allows.
// Every routine also takes the level explicitly, which lets the tests compare
// the kernels with each other on the same input.
#pragma once

namespace orvex {

enum class SimdLevel { kPortable, kAvx2 };

// The widest level this processor runs; the answer never changes.
SimdLevel BestSimdLevel();

}  // namespace orvex
