// The AVX2 kernels: eight pixels a step, otherwise the operations of the
// portable kernels one by one (no fused multiply-add), so that the results
// agree bit for bit.
#include "CpuFeatures.h"
#include "ScalingKernels.h"

#if K7HLP_HAVE_AVX2_KERNELS
#include <immintrin.h>

#include <algorithm>

namespace k7hlp {
namespace detail {
namespace {

// Entries a and b side by side in one 128-bit half.
K7HLP_AVX2 inline __m128 EntryPair(const CounterEntry* a, const CounterEntry* b) {
  return _mm_loadh_pi(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(a))), reinterpret_cast<const __m64*>(b));
}

// Frame indices and offsets of one block; false lanes in `valid` where a value is outside.
K7HLP_AVX2 void CounterIndices(const float* surface, float last, int32_t* h, float* offset, __m256* valid) {
  const __m256 zero = _mm256_setzero_ps();
  const __m256 lastv = _mm256_set1_ps(last);
  for (size_t i = 0; i < kScalingBlock; i += 8) {
    const __m256 m = _mm256_loadu_ps(surface + i);
    const __m256 inside = _mm256_and_ps(_mm256_cmp_ps(m, zero, _CMP_GE_OQ), _mm256_cmp_ps(m, lastv, _CMP_LE_OQ));
    *valid = _mm256_and_ps(*valid, inside);
    const __m256 mc = _mm256_min_ps(_mm256_max_ps(m, zero), lastv);
    const __m256i l = _mm256_cvttps_epi32(mc);
    const __m256 above = _mm256_cmp_ps(mc, _mm256_cvtepi32_ps(l), _CMP_GT_OQ);
    const __m256i hv = _mm256_sub_epi32(l, _mm256_castps_si256(above));
    _mm256_store_si256(reinterpret_cast<__m256i*>(h + i), hv);
    _mm256_store_ps(offset + i, _mm256_sub_ps(mc, _mm256_cvtepi32_ps(hv)));
  }
}

K7HLP_AVX2 void CounterPositions(const int32_t* h, const float* offset, const CounterEntry* table, float* out) {
  for (size_t i = 0; i < kScalingBlock; i += 8) {
    const int32_t* k = h + i;
    // Low halves from entries 0-3, high halves from 4-7: the in-lane shuffles give them in order.
    const __m256 e0145 = _mm256_set_m128(EntryPair(table + k[4], table + k[5]), EntryPair(table + k[0], table + k[1]));
    const __m256 e2367 = _mm256_set_m128(EntryPair(table + k[6], table + k[7]), EntryPair(table + k[2], table + k[3]));
    const __m256 step = _mm256_shuffle_ps(e0145, e2367, _MM_SHUFFLE(2, 0, 2, 0));
    const __m256 position = _mm256_shuffle_ps(e0145, e2367, _MM_SHUFFLE(3, 1, 3, 1));
    _mm256_storeu_ps(out + i, _mm256_add_ps(_mm256_mul_ps(_mm256_load_ps(offset + i), step), position));
  }
}

// The cells of eight values, by the operations of GridCell.
K7HLP_AVX2 inline __m256i GridCells(__m256 v, const GridLookup& g) {
  const __m256 f = _mm256_mul_ps(_mm256_sub_ps(v, _mm256_set1_ps(g.first)), _mm256_set1_ps(g.perCell));
  // max and min return their second operand for NaN, as GridCell's conditions do.
  return _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(f, _mm256_setzero_ps()), _mm256_set1_ps(g.lastCell)));
}

// Eight cells of a grid in registers, as the AVX-512 kernel keeps 31: their
// points, and the slope, x and z of their segments and the next cell's (two
// registers apiece). A smooth surface stays within them for a few vectors.
constexpr uint32_t kCellRun = 8;

// Entry j (0 to 15) of a pair of registers per lane: a permute within each,
// and bit 3 of j chooses.
struct Floats16 {
  __m256 low, high;
  K7HLP_AVX2 void Load(const float* from) {
    low = _mm256_loadu_ps(from);
    high = _mm256_loadu_ps(from + 8);
  }
  K7HLP_AVX2 __m256 At(__m256i j, __m256 highHalf) const {
    return _mm256_blendv_ps(_mm256_permutevar8x32_ps(low, j), _mm256_permutevar8x32_ps(high, j), highHalf);
  }
};

K7HLP_AVX2 inline __m256 Interpolate(__m256 v, __m256 slope, __m256 x, __m256 z) {
  return _mm256_add_ps(_mm256_mul_ps(slope, _mm256_sub_ps(v, x)), z);
}

// The cell, plus one unless the value lies below the cell's point (cell and
// point counted from the same place).
K7HLP_AVX2 inline __m256i SegmentIndex(__m256 v, __m256i cell, __m256 point) {
  const __m256i below = _mm256_castps_si256(_mm256_cmp_ps(v, point, _CMP_LT_OQ));
  return _mm256_add_epi32(_mm256_add_epi32(cell, _mm256_set1_epi32(1)), below);
}

struct GridRun {
  uint32_t base;
  __m256 point;
  Floats16 slope, x, z;

  K7HLP_AVX2 void Load(const GridLookup& g, uint32_t from) {
    base = from;
    point = _mm256_loadu_ps(g.point + from);
    slope.Load(g.slope + from);
    x.Load(g.x + from);
    z.Load(g.z + from);
  }
  // The cells less the run's start; 0 to 7 in every lane when the run holds them.
  K7HLP_AVX2 __m256i InRun(__m256i cell) const {
    return _mm256_sub_epi32(cell, _mm256_set1_epi32(static_cast<int32_t>(base)));
  }
  K7HLP_AVX2 static bool Holds(__m256i rel) { return _mm256_testz_si256(rel, _mm256_set1_epi32(~int32_t{7})); }
  K7HLP_AVX2 __m256 Positions(__m256 v, __m256i rel) const {
    const __m256i j = SegmentIndex(v, rel, _mm256_permutevar8x32_ps(point, rel));
    const __m256 highHalf = _mm256_castsi256_ps(_mm256_slli_epi32(j, 28));
    return Interpolate(v, slope.At(j, highHalf), x.At(j, highHalf), z.At(j, highHalf));
  }
};

K7HLP_AVX2 inline uint32_t RunStart(__m256i cell, uint32_t cells) {
  const int32_t first = _mm256_cvtsi256_si32(cell), last = _mm256_extract_epi32(cell, 7);
  return RunStartBetween(first, last, kCellRun, cells - 16);  // 16 floats loaded
}

// Eight values spread wider than a run: every entry gathered on its own.
K7HLP_AVX2 inline __m256 GatheredPositions(__m256 v, __m256i cell, const GridLookup& g) {
  const __m256i j = SegmentIndex(v, cell, _mm256_i32gather_ps(g.point, cell, 4));
  return Interpolate(v, _mm256_i32gather_ps(g.slope, j, 4), _mm256_i32gather_ps(g.x, j, 4),
                     _mm256_i32gather_ps(g.z, j, 4));
}

}  // namespace

K7HLP_AVX2 size_t PositionsFromCounterAvx2(const float* surface, size_t pixels, const CounterEntry* table,
                                           uint32_t frames, float* out, bool* inside) {
  alignas(32) int32_t h[kScalingBlock];
  alignas(32) float offset[kScalingBlock];
  __m256 valid = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
  size_t i = 0;
  for (; i + kScalingBlock <= pixels; i += kScalingBlock) {
    CounterIndices(surface + i, static_cast<float>(frames - 1), h, offset, &valid);
    CounterPositions(h, offset, table, out + i);
  }
  *inside = _mm256_movemask_ps(valid) == 0xff;
  return i;
}

K7HLP_AVX2 size_t PositionsFromGridAvx2(const float* surface, size_t pixels, const GridLookup& grid, float* out) {
  const GridLookup g = grid;  // in registers: the output stores cannot change a copy
  GridRun run;
  run.Load(g, 0);
  size_t i = 0;
  for (; i + 8 <= pixels; i += 8) {
    const __m256 v = _mm256_loadu_ps(surface + i);
    const __m256i cell = GridCells(v, g);
    __m256i rel = run.InRun(cell);
    if (!GridRun::Holds(rel)) {
      run.Load(g, RunStart(cell, g.cells));
      rel = run.InRun(cell);
    }
    _mm256_storeu_ps(out + i, GridRun::Holds(rel) ? run.Positions(v, rel) : GatheredPositions(v, cell, g));
  }
  return i;
}

}  // namespace detail
}  // namespace k7hlp
#endif
