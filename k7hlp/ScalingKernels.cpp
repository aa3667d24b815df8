#include "ScalingKernels.h"

#include "CpuFeatures.h"

namespace k7hlp {
namespace {

// Values outside [0, last] are clamped before they index the table, so that a
// failing surface reads nothing beyond it either. Every value lies in
// [0, frames - 1]: truncation is the floor, and h - l is 1 where they differ,
// so the division of the step by it is left out (dividing by 1 changes no
// float). On a whole frame index the formula gives (+0 or -0) + position[h],
// which is position[h] itself as no table value is -0 (the frame centres are
// rounded sums of integers).
inline float CounterPosition(float m, const CounterLookup& t, float last) {
  float mc = m > 0.0f ? m : 0.0f;
  mc = mc < last ? mc : last;
  const int32_t l = static_cast<int32_t>(mc);
  const int32_t h = l + (mc > static_cast<float>(l));
  return (mc - static_cast<float>(h)) * t.step[h] + t.position[h];
}

inline float GridPosition(float c, const GridLookup& g) {
  const uint32_t cell = GridCell(c, g.first, g.perCell, g.lastCell);
  const uint32_t j = 2 * cell + !(c < g.point[cell]);
  return g.slope[j] * (c - g.x[j]) + g.z[j];
}

}  // namespace

bool PositionsFromCounter(const float* surface, size_t pixels, const CounterLookup& table, float* out, bool avx2) {
  bool inside = true;
  size_t done = 0;
#if K7HLP_HAVE_AVX2_KERNELS
  if (avx2) done = detail::PositionsFromCounterAvx2(surface, pixels, table, out, &inside);
#else
  (void)avx2;
#endif
  const float last = static_cast<float>(table.frames - 1);
  // Counted without an early exit so that the loop vectorises; NaN is outside.
  uint32_t outside = 0;
  for (size_t i = done; i < pixels; ++i) {
    const float m = surface[i];
    outside |= static_cast<uint32_t>(!(m >= 0.0f)) | static_cast<uint32_t>(!(m <= last));
    out[i] = CounterPosition(m, table, last);
  }
  return inside && outside == 0;
}

void PositionsFromGrid(const float* surface, size_t pixels, const GridLookup& grid, float* out, bool avx2) {
  size_t done = 0;
#if K7HLP_HAVE_AVX2_KERNELS
  if (avx2) done = detail::PositionsFromGridAvx2(surface, pixels, grid, out);
#else
  (void)avx2;
#endif
  for (size_t i = done; i < pixels; ++i) out[i] = GridPosition(surface[i], grid);
}

}  // namespace k7hlp
