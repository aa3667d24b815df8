// Whether the wider kernels may run. The library is built for any x86-64; a
// routine with an AVX2 kernel compiles that kernel on its own (K7HLP_AVX2) and
// chooses it at run time. Internal routines take the choice as a parameter so
// that the tests can compare both kernels on one machine.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define K7HLP_HAVE_AVX2_KERNELS 1
// No FMA: a fused multiply-add rounds once where the portable kernel rounds twice.
#define K7HLP_AVX2 __attribute__((target("avx2")))
// AVX-512 brings FMA with it: its files are compiled without contraction (CMakeLists.txt).
#define K7HLP_AVX512 __attribute__((target("avx2,avx512f")))
#else
#define K7HLP_HAVE_AVX2_KERNELS 0
#define K7HLP_AVX2
#define K7HLP_AVX512
#endif

namespace k7hlp {

// True when the processor and the operating system run AVX2; never changes.
bool HasAvx2();
// True when it also runs the AVX-512 foundation instructions; never changes.
bool HasAvx512();

}  // namespace k7hlp
