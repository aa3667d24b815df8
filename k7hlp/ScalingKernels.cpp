#include "ScalingKernels.h"

#include "CpuFeatures.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace k7hlp {
namespace {

// Values outside [0, last] are clamped before they index the table, so that a
// failing surface reads nothing beyond it either. Every value lies in
// [0, frames - 1]: truncation is the floor, and h - l is 1 where they differ,
// so the division of the step by it is left out (dividing by 1 changes no
// float). On a whole frame index the formula gives (+0 or -0) + position,
// which is the position itself as no table value is -0 (the frame centres are
// rounded sums of integers).
inline float CounterPosition(float m, const CounterEntry* table, float last) {
  float mc = m > 0.0f ? m : 0.0f;
  mc = mc < last ? mc : last;
  const int32_t l = static_cast<int32_t>(mc);
  const int32_t h = l + (mc > static_cast<float>(l));
  return (mc - static_cast<float>(h)) * table[h].step + table[h].position;
}

inline float GridPosition(float c, const GridLookup& g) {
  const uint32_t cell = GridCell(c, g.first, g.perCell, g.lastCell);
  const uint32_t j = cell + !(c < g.point[cell]);
  return g.slope[j] * (c - g.x[j]) + g.z[j];
}

#if defined(__SSE2__)
using detail::kScalingBlock;

// Entries a and b side by side: steps at even places, positions at odd ones.
inline __m128 EntryPair(const CounterEntry* a, const CounterEntry* b) {
  return _mm_loadh_pi(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(a))), reinterpret_cast<const __m64*>(b));
}

// Frame indices and offsets of a block of pixels; false lanes in `valid` where a value is outside.
void CounterIndices(const float* surface, float last, int32_t* h, float* offset, __m128* valid) {
  const __m128 zero = _mm_setzero_ps();
  const __m128 lastv = _mm_set1_ps(last);
  for (size_t i = 0; i < kScalingBlock; i += 4) {
    const __m128 m = _mm_loadu_ps(surface + i);
    *valid = _mm_and_ps(*valid, _mm_and_ps(_mm_cmpge_ps(m, zero), _mm_cmple_ps(m, lastv)));  // NaN fails both
    // max returns its second operand for NaN and for two zeros, as m > 0 ? m : 0 does.
    const __m128 mc = _mm_min_ps(_mm_max_ps(m, zero), lastv);
    const __m128i l = _mm_cvttps_epi32(mc);
    const __m128i above = _mm_castps_si128(_mm_cmpgt_ps(mc, _mm_cvtepi32_ps(l)));
    const __m128i hv = _mm_sub_epi32(l, above);
    _mm_store_si128(reinterpret_cast<__m128i*>(h + i), hv);
    _mm_store_ps(offset + i, _mm_sub_ps(mc, _mm_cvtepi32_ps(hv)));
  }
}

void CounterPositions(const int32_t* h, const float* offset, const CounterEntry* table, float* out) {
  for (size_t i = 0; i < kScalingBlock; i += 4) {
    const __m128 e01 = EntryPair(table + h[i], table + h[i + 1]);
    const __m128 e23 = EntryPair(table + h[i + 2], table + h[i + 3]);
    const __m128 step = _mm_shuffle_ps(e01, e23, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 position = _mm_shuffle_ps(e01, e23, _MM_SHUFFLE(3, 1, 3, 1));
    _mm_storeu_ps(out + i, _mm_add_ps(_mm_mul_ps(_mm_load_ps(offset + i), step), position));
  }
}

size_t CounterSse2(const float* surface, size_t pixels, const CounterEntry* table, uint32_t frames, float* out,
                   bool* inside) {
  alignas(16) int32_t h[kScalingBlock];
  alignas(16) float offset[kScalingBlock];
  __m128 valid = _mm_castsi128_ps(_mm_set1_epi32(-1));
  size_t i = 0;
  for (; i + kScalingBlock <= pixels; i += kScalingBlock) {
    CounterIndices(surface + i, static_cast<float>(frames - 1), h, offset, &valid);
    CounterPositions(h, offset, table, out + i);
  }
  *inside = _mm_movemask_ps(valid) == 0xf;
  return i;
}

void GridCells(const float* c, const GridLookup& g, int32_t* cell) {
  const __m128 zero = _mm_setzero_ps();
  const __m128 first = _mm_set1_ps(g.first);
  const __m128 perCell = _mm_set1_ps(g.perCell);
  const __m128 lastCell = _mm_set1_ps(g.lastCell);
  for (size_t i = 0; i < kScalingBlock; i += 4) {
    const __m128 f = _mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(c + i), first), perCell);
    const __m128i cells = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(f, zero), lastCell));
    _mm_store_si128(reinterpret_cast<__m128i*>(cell + i), cells);
  }
}

// The cell, plus one unless the value lies below the cell's point.
void SegmentIndices(const float* c, const int32_t* cell, const float* point, int32_t* j) {
  const __m128i one = _mm_set1_epi32(1);
  for (size_t i = 0; i < kScalingBlock; i += 4) {
    const __m128i cells = _mm_load_si128(reinterpret_cast<const __m128i*>(cell + i));
    const int32_t* k = cell + i;
    const __m128 points = _mm_set_ps(point[k[3]], point[k[2]], point[k[1]], point[k[0]]);
    const __m128 below = _mm_cmplt_ps(_mm_loadu_ps(c + i), points);
    _mm_store_si128(reinterpret_cast<__m128i*>(j + i), _mm_add_epi32(_mm_add_epi32(cells, one), _mm_castps_si128(below)));
  }
}

void GridPositions(const float* c, const int32_t* j, const GridSegment* segment, float* out) {
  for (size_t i = 0; i < kScalingBlock; i += 4) {
    // Rows of the segments of four pixels, columns after the transpose.
    __m128 slope = _mm_loadu_ps(&segment[j[i]].slope);
    __m128 x = _mm_loadu_ps(&segment[j[i + 1]].slope);
    __m128 z = _mm_loadu_ps(&segment[j[i + 2]].slope);
    __m128 unused = _mm_loadu_ps(&segment[j[i + 3]].slope);
    _MM_TRANSPOSE4_PS(slope, x, z, unused);
    const __m128 v = _mm_loadu_ps(c + i);
    _mm_storeu_ps(out + i, _mm_add_ps(_mm_mul_ps(slope, _mm_sub_ps(v, x)), z));
  }
}

// A block of pixels in three passes over small index arrays that stay in the
// first-level cache, so that the out-of-order core overlaps the table loads of
// many pixels: the cells, the segment indices (the cells' points loaded one by
// one, compared as a vector), then four segments at a time, loaded whole and
// transposed into slopes, x and z.
size_t GridSse2(const float* surface, size_t pixels, const GridLookup& g, float* out) {
  alignas(16) int32_t cell[kScalingBlock], j[kScalingBlock];
  size_t i = 0;
  for (; i + kScalingBlock <= pixels; i += kScalingBlock) {
    GridCells(surface + i, g, cell);
    SegmentIndices(surface + i, cell, g.point, j);
    GridPositions(surface + i, j, g.segment, out + i);
  }
  return i;
}
#endif

}  // namespace

ScalingKernel BestScalingKernel() {
  if (HasAvx512()) return ScalingKernel::kAvx512;
  return HasAvx2() ? ScalingKernel::kAvx2 : ScalingKernel::kPortable;
}

bool PositionsFromCounter(const float* surface, size_t pixels, const CounterEntry* table, uint32_t frames, float* out,
                          ScalingKernel kernel) {
  // The vector kernels take whole vectors or blocks, the per-pixel form the rest.
  bool inside = true;
  size_t done = 0;
#if K7HLP_HAVE_AVX2_KERNELS
  if (kernel == ScalingKernel::kAvx512)
    done = detail::PositionsFromCounterAvx512(surface, pixels, table, frames, out, &inside);
  else if (kernel == ScalingKernel::kAvx2)
    done = detail::PositionsFromCounterAvx2(surface, pixels, table, frames, out, &inside);
#else
  (void)kernel;
#endif
#if defined(__SSE2__)
  if (done == 0) done = CounterSse2(surface, pixels, table, frames, out, &inside);
#endif
  const float last = static_cast<float>(frames - 1);
  uint32_t outside = 0;
  for (size_t i = done; i < pixels; ++i) {
    const float m = surface[i];
    outside |= static_cast<uint32_t>(!(m >= 0.0f)) | static_cast<uint32_t>(!(m <= last));
    out[i] = CounterPosition(m, table, last);
  }
  return inside && outside == 0;
}

void PositionsFromGrid(const float* surface, size_t pixels, const GridLookup& grid, float* out, ScalingKernel kernel) {
  size_t done = 0;
#if K7HLP_HAVE_AVX2_KERNELS
  if (kernel == ScalingKernel::kAvx512)
    done = detail::PositionsFromGridAvx512(surface, pixels, grid, out);
  else if (kernel == ScalingKernel::kAvx2)
    done = detail::PositionsFromGridAvx2(surface, pixels, grid, out);
#else
  (void)kernel;
#endif
#if defined(__SSE2__)
  if (done == 0 && grid.segment) done = GridSse2(surface, pixels, grid, out);
#endif
  for (size_t i = done; i < pixels; ++i) out[i] = GridPosition(surface[i], grid);
}

}  // namespace k7hlp
