#include "CpuFeatures.h"

namespace k7hlp {

bool HasAvx2() {
#if K7HLP_HAVE_AVX2_KERNELS
  static const bool avx2 = [] {
    __builtin_cpu_init();  // in case the first call comes from a static constructor
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return avx2;
#else
  return false;
#endif
}

bool HasAvx512() {
#if K7HLP_HAVE_AVX2_KERNELS
  static const bool avx512 = [] {
    __builtin_cpu_init();
    return HasAvx2() && __builtin_cpu_supports("avx512f") != 0;
  }();
  return avx512;
#else
  return false;
#endif
}

}  // namespace k7hlp
