// The AVX-512 kernels: sixteen pixels a step. A permute across two registers
// picks each lane's entry out of a run of 32 floats: the steps (or the
// positions) of 32 counter entries, or the points, slopes, x or z of 32 grid
// cells (31 of which a run holds: a value at or above a cell's point takes
// the next cell's segment). A smooth surface stays within one run for several vectors, so the run stays
// in registers until a vector leaves it; a vector across a row end or a step
// takes a second run, and what neither holds is gathered. The float
// operations are those of the portable kernels (no fused multiply-add), so the
// results agree bit for bit.
#include "CpuFeatures.h"
#include "ScalingKernels.h"

#if K7HLP_HAVE_AVX2_KERNELS
#include <immintrin.h>

#include <algorithm>
#include <vector>

namespace k7hlp {
namespace detail {
namespace {

// Floats loaded per run, and the cells or entries a run holds.
constexpr uint32_t kRunFloats = 32;
constexpr uint32_t kCellRun = kRunFloats - 1;
constexpr uint32_t kEntryRun = kRunFloats;
constexpr __mmask16 kAllLanes = 0xffff;

// Where a run of `run` for the vector `index` of `entries` >= kRunFloats should start.
K7HLP_AVX512 inline uint32_t RunStart(__m512i index, uint32_t entries, uint32_t run) {
  const int32_t first = _mm_cvtsi128_si32(_mm512_castsi512_si128(index));
  const int32_t last = _mm_cvtsi128_si32(_mm512_castsi512_si128(_mm512_alignr_epi32(index, index, 15)));
  return RunStartBetween(first, last, run, entries - kRunFloats);
}

// Where a run for the lanes `left` out should start: at their lowest index.
K7HLP_AVX512 inline uint32_t RestStart(__m512i index, __mmask16 left, uint32_t entries) {
  return std::min(static_cast<uint32_t>(_mm512_mask_reduce_min_epi32(left, index)), entries - kRunFloats);
}

// Index less the run's start: lanes in the run have 0 to run - 1.
K7HLP_AVX512 inline __m512i InRun(__m512i index, uint32_t base) {
  return _mm512_sub_epi32(index, _mm512_set1_epi32(static_cast<int32_t>(base)));
}

K7HLP_AVX512 inline __mmask16 Held(__m512i rel, uint32_t run) {
  return _mm512_cmp_epu32_mask(rel, _mm512_set1_epi32(static_cast<int32_t>(run - 1)), _MM_CMPINT_LE);
}

// 32 floats from `from`, and the one at j (0 to 31) per lane; lanes with
// other j get some float of the 32.
struct Floats32 {
  __m512 low, high;
  K7HLP_AVX512 void Load(const float* from) {
    low = _mm512_loadu_ps(from);
    high = _mm512_loadu_ps(from + 16);
  }
  K7HLP_AVX512 __m512 At(__m512i j) const { return _mm512_permutex2var_ps(low, j, high); }
};

K7HLP_AVX512 inline __m512 Interpolate(__m512 v, __m512 slope, __m512 x, __m512 z) {
  return _mm512_add_ps(_mm512_mul_ps(slope, _mm512_sub_ps(v, x)), z);
}

// The cells of sixteen values, by the operations of GridCell (max and min
// return their second operand for NaN, as GridCell's conditions do).
K7HLP_AVX512 inline __m512i GridCells(__m512 v, const GridLookup& g) {
  const __m512 f = _mm512_mul_ps(_mm512_sub_ps(v, _mm512_set1_ps(g.first)), _mm512_set1_ps(g.perCell));
  return _mm512_cvttps_epi32(_mm512_min_ps(_mm512_max_ps(f, _mm512_setzero_ps()), _mm512_set1_ps(g.lastCell)));
}

// The cell, plus one unless the value lies below the cell's point (cell and
// point counted from the same place; NaN is not below).
K7HLP_AVX512 inline __m512i SegmentIndex(__m512 v, __m512i cell, __m512 point) {
  return _mm512_mask_add_epi32(cell, _mm512_cmp_ps_mask(v, point, _CMP_NLT_UQ), cell, _mm512_set1_epi32(1));
}

// 32 cells of a grid in registers: their points, and the slope, x and z of
// their segments.
struct GridRun {
  uint32_t base;
  Floats32 point, slope, x, z;

  K7HLP_AVX512 void Load(const GridLookup& g, uint32_t from) {
    base = from;
    point.Load(g.point + from);
    slope.Load(g.slope + from);
    x.Load(g.x + from);
    z.Load(g.z + from);
  }
  K7HLP_AVX512 __m512 Positions(__m512 v, __m512i rel) const {
    const __m512i j = SegmentIndex(v, rel, point.At(rel));
    return Interpolate(v, slope.At(j), x.At(j), z.At(j));
  }
};

K7HLP_AVX512 inline __m512 GatheredGridPositions(__m512 v, __m512i cell, const GridLookup& g) {
  const __m512i j = SegmentIndex(v, cell, _mm512_i32gather_ps(cell, g.point, 4));
  return Interpolate(v, _mm512_i32gather_ps(j, g.slope, 4), _mm512_i32gather_ps(j, g.x, 4),
                     _mm512_i32gather_ps(j, g.z, 4));
}

// The lanes outside `held`: from a second run, and what that does not hold gathered.
K7HLP_AVX512 __m512 OtherGridPositions(__m512 positions, __m512 v, __m512i cell, __mmask16 held, const GridLookup& g) {
  const __mmask16 left = static_cast<__mmask16>(~held);
  GridRun second;
  second.Load(g, RestStart(cell, left, g.cells));
  const __m512i rel = InRun(cell, second.base);
  const __mmask16 inSecond = Held(rel, kCellRun) & left;
  positions = _mm512_mask_mov_ps(positions, inSecond, second.Positions(v, rel));
  const __mmask16 rest = left & static_cast<__mmask16>(~inSecond);
  return rest ? _mm512_mask_mov_ps(positions, rest, GatheredGridPositions(v, cell, g)) : positions;
}

// The steps and positions of the counter table apart.
struct CounterColumns {
  std::vector<float> step, position;
  K7HLP_AVX512 CounterColumns(const CounterEntry* table, uint32_t frames) : step(frames), position(frames) {
    for (uint32_t h = 0; h < frames; ++h) {
      step[h] = table[h].step;
      position[h] = table[h].position;
    }
  }
};

// 32 counter entries in registers.
struct CounterRun {
  uint32_t base;
  Floats32 step, position;

  K7HLP_AVX512 void Load(const CounterColumns& c, uint32_t from) {
    base = from;
    step.Load(c.step.data() + from);
    position.Load(c.position.data() + from);
  }
  K7HLP_AVX512 __m512 Positions(__m512 offset, __m512i rel) const {
    return _mm512_add_ps(_mm512_mul_ps(offset, step.At(rel)), position.At(rel));
  }
};

K7HLP_AVX512 inline __m512 GatheredCounterPositions(__m512 offset, __m512i h, const CounterEntry* table) {
  const float* entries = &table[0].step;  // steps at even places, positions at odd ones
  const __m512i j = _mm512_slli_epi32(h, 1);
  const __m512 step = _mm512_i32gather_ps(j, entries, 4);
  return _mm512_add_ps(_mm512_mul_ps(offset, step),
                       _mm512_i32gather_ps(_mm512_add_epi32(j, _mm512_set1_epi32(1)), entries, 4));
}

K7HLP_AVX512 __m512 OtherCounterPositions(__m512 positions, __m512 offset, __m512i h, __mmask16 held,
                                          const CounterEntry* table, const CounterColumns& c) {
  const __mmask16 left = static_cast<__mmask16>(~held);
  CounterRun second;
  second.Load(c, RestStart(h, left, static_cast<uint32_t>(c.step.size())));
  const __m512i rel = InRun(h, second.base);
  const __mmask16 inSecond = Held(rel, kEntryRun) & left;
  positions = _mm512_mask_mov_ps(positions, inSecond, second.Positions(offset, rel));
  const __mmask16 rest = left & static_cast<__mmask16>(~inSecond);
  return rest ? _mm512_mask_mov_ps(positions, rest, GatheredCounterPositions(offset, h, table)) : positions;
}

}  // namespace

K7HLP_AVX512 size_t PositionsFromCounterAvx512(const float* surface, size_t pixels, const CounterEntry* table,
                                               uint32_t frames, float* out, bool* inside) {
  const __m512 zero = _mm512_setzero_ps();
  const __m512 last = _mm512_set1_ps(static_cast<float>(frames - 1));
  const bool runs = frames >= kEntryRun;
  const CounterColumns columns(table, runs ? frames : 0);
  CounterRun run;
  if (runs) run.Load(columns, 0);
  __mmask16 valid = kAllLanes;
  size_t i = 0;
  for (; i + 16 <= pixels; i += 16) {
    const __m512 m = _mm512_loadu_ps(surface + i);
    const __m512 mc = _mm512_min_ps(_mm512_max_ps(m, zero), last);
    valid &= _mm512_cmp_ps_mask(mc, m, _CMP_EQ_OQ);  // NaN and values outside change
    // The next frame index up, or the value itself when whole, as a float and an integer.
    const __m512 ceiling = _mm512_roundscale_ps(mc, _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC);
    const __m512i h = _mm512_cvttps_epi32(ceiling);
    const __m512 offset = _mm512_sub_ps(mc, ceiling);
    __m512 positions;
    if (runs) {
      __m512i rel = InRun(h, run.base);
      __mmask16 held = Held(rel, kEntryRun);
      if (held != kAllLanes) {
        run.Load(columns, RunStart(h, frames, kEntryRun));
        rel = InRun(h, run.base);
        held = Held(rel, kEntryRun);
      }
      positions = run.Positions(offset, rel);
      if (held != kAllLanes) positions = OtherCounterPositions(positions, offset, h, held, table, columns);
    } else {
      positions = GatheredCounterPositions(offset, h, table);
    }
    _mm512_storeu_ps(out + i, positions);
  }
  *inside = valid == kAllLanes;
  return i;
}

K7HLP_AVX512 size_t PositionsFromGridAvx512(const float* surface, size_t pixels, const GridLookup& grid, float* out) {
  const GridLookup g = grid;  // in registers: the output stores cannot change a copy
  GridRun run;
  run.Load(g, 0);
  size_t i = 0;
  for (; i + 16 <= pixels; i += 16) {
    const __m512 v = _mm512_loadu_ps(surface + i);
    const __m512i cell = GridCells(v, g);
    __m512i rel = InRun(cell, run.base);
    __mmask16 held = Held(rel, kCellRun);
    if (held != kAllLanes) {
      run.Load(g, RunStart(cell, g.cells, kCellRun));
      rel = InRun(cell, run.base);
      held = Held(rel, kCellRun);
    }
    __m512 positions = run.Positions(v, rel);
    if (held != kAllLanes) positions = OtherGridPositions(positions, v, cell, held, g);
    _mm512_storeu_ps(out + i, positions);
  }
  return i;
}

}  // namespace detail
}  // namespace k7hlp
#endif
