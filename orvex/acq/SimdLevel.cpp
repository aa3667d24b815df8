#include "acq/SimdLevel.h"

namespace orvex {

SimdLevel BestSimdLevel() {
#if defined(__x86_64__) && defined(__GNUC__)
  static const SimdLevel level = __builtin_cpu_supports("avx2") ? SimdLevel::kAvx2 : SimdLevel::kPortable;
  return level;
#else
  return SimdLevel::kPortable;
#endif
}

}  // namespace orvex
