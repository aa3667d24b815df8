// The inner loop of frame-major regrouping, shared by the regroup and the
// intensity routines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "acq/RegroupAvx2.h"
#include "acq/RegroupAvx512.h"
#include "acq/SimdLevel.h"
#include "acq/UnalignedAccess.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the raw data and the word merging are little-endian");

namespace orvex {
namespace regroup_detail {

// Stores are what regrouping spends its time on: every frame of every group is
// a separate destination. So a 3-element copy is one wide move (4, 8 or 16
// bytes) whose extra bytes spill into the next group of the same frame, and for
// the small element sizes two groups are merged into one store. The spilled
// bytes are overwritten by a later copy of the same pass.
template <size_t kElem>
inline void CopyOne(uint8_t* out, const uint8_t* in) {
  constexpr size_t kWide = kElem == 4 ? 16 : kElem == 2 ? 8 : 4;
  std::memcpy(out, in, kWide);
}

// Groups g and g+1 of one frame: 6 bytes of a 4-byte read each, one 8-byte store.
inline void CopyTwo8(uint8_t* out, const uint8_t* a, const uint8_t* b) {
  uint64_t v = (LoadU32(a) & 0xFFFFFFu) | (uint64_t{LoadU32(b)} << 24);
  std::memcpy(out, &v, 8);
}

// Groups g and g+1 of one frame: 12 bytes of two 8-byte reads, one 16-byte store.
inline void CopyTwo16(uint8_t* out, const uint8_t* a, const uint8_t* b) {
#if defined(__SSE2__)
  __m128i first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a));
  __m128i second = _mm_slli_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)), 6);
  __m128i keep = _mm_set_epi32(0, 0, 0x0000FFFF, -1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_and_si128(first, keep), second));
#else
  std::memcpy(out, a, 8);
  std::memcpy(out + 6, b, 8);
#endif
}

template <size_t kElem>
inline void CopyTwo(uint8_t* out, const uint8_t* a, const uint8_t* b) {
  if constexpr (kElem == 1) CopyTwo8(out, a, b);
  else CopyTwo16(out, a, b);
}

}  // namespace regroup_detail

// Moves `count` consecutive groups (three elements of kElem bytes per frame,
// all frames of a group next to each other in src) into frame-major order:
// group i of frame f lands at dst + f * frameBytes + i * 3 * kElem.
// exactLast: the last group is the last of the whole image, so nothing follows
// to absorb a spill (it would hit the next frame's already written start) and a
// wide read would pass the source's end; it is copied exactly.
// Returns the source position behind the groups.
template <size_t kElem>
inline const uint8_t* RegroupGroups(const uint8_t* src, uint8_t* dst, uint32_t frames, size_t frameBytes,
                                    size_t count, bool exactLast) {
  using namespace regroup_detail;
  constexpr size_t kChunk = 3 * kElem;
  const size_t groupBytes = size_t{frames} * kChunk;
  const size_t wideEnd = exactLast && count ? count - 1 : count;
  size_t i = 0;
  if constexpr (kElem < 4) {
    for (; i + 2 <= wideEnd; i += 2, src += 2 * groupBytes, dst += 2 * kChunk) {
      uint8_t* out = dst;
      for (uint32_t f = 0; f < frames; ++f, out += frameBytes)
        CopyTwo<kElem>(out, src + f * kChunk, src + groupBytes + f * kChunk);
    }
  }
  for (; i < wideEnd; ++i, dst += kChunk) {
    uint8_t* out = dst;
    for (uint32_t f = 0; f < frames; ++f, src += kChunk, out += frameBytes) CopyOne<kElem>(out, src);
  }
  if (wideEnd < count)
    for (uint32_t f = 0; f < frames; ++f, src += kChunk, dst += frameBytes) std::memcpy(dst, src, kChunk);
  return src;
}

// RegroupGroups on the kernel of `level`: whole AVX-512 or AVX2 steps first,
// then the rest (at least the last group, which the steps' wide reads must not
// pass) by the portable copy, which also overwrites what the steps' last
// stores spilled into it.
template <size_t kElem>
inline const uint8_t* RegroupGroupsOn(SimdLevel level, const uint8_t* src, uint8_t* dst, uint32_t frames,
                                      size_t frameBytes, size_t count, bool exactLast) {
  if (HasAvx2(level)) {
    const size_t done = level == SimdLevel::kAvx512 && RegroupsOnAvx512(kElem, frames)
                            ? RegroupGroupsAvx512(kElem, src, dst, frames, frameBytes, count)
                            : RegroupGroupsAvx2(kElem, src, dst, frames, frameBytes, count);
    src += done * frames * 3 * kElem;
    dst += done * 3 * kElem;
    count -= done;
  }
  return RegroupGroups<kElem>(src, dst, frames, frameBytes, count, exactLast);
}

}  // namespace orvex
