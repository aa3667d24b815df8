#include "acq/SimdLevel.h"

namespace orvex {

SimdLevel BestSimdLevel() {
#if defined(__x86_64__) && defined(__GNUC__)
  // The check includes the operating system's support of the wide registers.
  static const SimdLevel level = [] {
    __builtin_cpu_init();  // in case the first call comes from a static constructor
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vbmi"))
      return SimdLevel::kAvx512;
    return __builtin_cpu_supports("avx2") ? SimdLevel::kAvx2 : SimdLevel::kPortable;
  }();
  return level;
#else
  return SimdLevel::kPortable;
#endif
}

}  // namespace orvex
