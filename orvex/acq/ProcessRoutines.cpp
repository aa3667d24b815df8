#include "acq/ProcessRoutines.h"

#include <algorithm>
#include <cstring>

#include "acq/Avx2Kernels.h"
#include "acq/Avx512Kernels.h"
#include "acq/ParallelParts.h"
#include "acq/RegroupKernel.h"
#include "acq/UnalignedAccess.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvex {
namespace {

bool Fits(uint64_t needed, size_t available) { return needed <= available; }

}  // namespace

uint64_t StackBytes(const StackShape& shape, uint32_t frames) {
  return uint64_t{frames} * shape.rows * shape.groups * 3 * shape.elementBytes;
}

bool RegroupFrames(const void* src, size_t srcBytes, void* dst, size_t dstBytes, const StackShape& shape,
                   uint32_t frames) {
  return RegroupFrames(BestSimdLevel(), src, srcBytes, dst, dstBytes, shape, frames);
}

namespace {

// Groups a piece of a threaded regroup starts on: a multiple of the wide
// steps, so that only the piece's last few groups leave the wide kernels.
constexpr size_t kRegroupPieceGroups = 16;

template <size_t kElem>
void RegroupInPieces(SimdLevel level, const uint8_t* in, uint8_t* out, uint32_t frames, size_t groupCount,
                     uint32_t threads) {
  constexpr size_t kChunk = 3 * kElem;
  // Groups of a frame are contiguous in the destination (row r, group g at
  // r * groups + g), so the pass walks them flat.
  const size_t frameBytes = groupCount * kChunk;
  // Each piece copies its last group exactly: a wide store past it would land
  // in the next piece, which another thread may have written already.
  RunInParts(threads, groupCount, kRegroupPieceGroups, [=](size_t begin, size_t end) {
    RegroupGroupsOn<kElem>(level, in + begin * frames * kChunk, out + begin * kChunk, frames, frameBytes,
                           end - begin, true);
  });
}

}  // namespace

bool RegroupFrames(SimdLevel level, const void* src, size_t srcBytes, void* dst, size_t dstBytes,
                   const StackShape& shape, uint32_t frames, uint32_t threads) {
  const uint64_t bytes = StackBytes(shape, frames);
  if (!src || !dst || !Fits(bytes, srcBytes) || !Fits(bytes, dstBytes)) return false;
  if (bytes == 0) return true;
  // One frame is already frame-major.
  if (frames == 1) {
    std::memcpy(dst, src, bytes);
    return true;
  }
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dst);
  const size_t groupCount = size_t{shape.rows} * shape.groups;
  switch (shape.elementBytes) {
    case 4: RegroupInPieces<4>(level, in, out, frames, groupCount, threads); return true;
    case 2: RegroupInPieces<2>(level, in, out, frames, groupCount, threads); return true;
    case 1: RegroupInPieces<1>(level, in, out, frames, groupCount, threads); return true;
    default: return false;
  }
}

namespace {

// Copies whole vectors and the rest bytewise (or, with AVX-512, in 64-byte
// vectors the last of which overlaps). A memcpy of a constant size of
// some hundred bytes compiles to `rep movsq`, whose start-up costs more than
// the copy itself at this length.
inline void CopyVectors(SimdLevel level, uint8_t* out, const uint8_t* in, size_t bytes) {
  if (level == SimdLevel::kAvx512 && CopyVectorsAvx512(out, in, bytes) == bytes) return;
  size_t i = HasAvx2(level) ? CopyVectorsAvx2(out, in, bytes) : 0;
#if defined(__SSE2__)
  for (; i + 16 <= bytes; i += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
#endif
  for (; i < bytes; ++i) out[i] = in[i];
}

constexpr size_t kCrossInRow = kA16Z16Columns * 4;
constexpr size_t kCrossOutRow = (kA16Z16Columns + 1) * 4;
constexpr size_t kCrossHalf = kCrossInRow / 2;

// Consecutive rows, each widened by its centre word. The second half of a row
// and the first half of the next are contiguous in the source and in the
// destination, so they go as one run.
void WidenRows(SimdLevel level, const uint8_t* in, uint8_t* out, uint32_t rows) {
  CopyVectors(level, out, in, kCrossHalf);
  for (uint32_t row = 0; row < rows; ++row, in += kCrossInRow, out += kCrossOutRow) {
    StoreU32(out + kCrossHalf, PairAverage(LoadU32(in + kCrossHalf - 4), LoadU32(in + kCrossHalf)));
    CopyVectors(level, out + kCrossHalf + 4, in + kCrossHalf, row + 1 < rows ? kCrossInRow : kCrossHalf);
  }
}

}  // namespace

bool WidenCentreCross(const void* src, size_t srcBytes, void* dst, size_t dstBytes) {
  return WidenCentreCross(BestSimdLevel(), src, srcBytes, dst, dstBytes);
}

bool WidenCentreCross(SimdLevel level, const void* src, size_t srcBytes, void* dst, size_t dstBytes) {
  if (!src || !dst || srcBytes < kA16Z16Bytes || dstBytes < kA16Z16CrossBytes) return false;
  constexpr uint32_t kCentreRow = kA16Z16Rows / 2;
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dst);
  WidenRows(level, in, out, kCentreRow);
  WidenRows(level, in + kCentreRow * kCrossInRow, out + (kCentreRow + 1) * kCrossOutRow, kA16Z16Rows - kCentreRow);
  // The centre row averages its finished neighbours, centre column included.
  const uint8_t* above = out + (kCentreRow - 1) * kCrossOutRow;
  const uint8_t* below = above + 2 * kCrossOutRow;
  uint8_t* centre = out + kCentreRow * kCrossOutRow;
  for (size_t c = 0; c < kCrossOutRow; c += 4)
    StoreU32(centre + c, PairAverage(LoadU32(above + c), LoadU32(below + c)));
  return true;
}

namespace {

constexpr uint32_t kPositionStep = 32;

uint32_t WindowWidth(uint32_t halfWindow) { return 2 * std::min<uint32_t>(halfWindow, 10) + 1; }
static_assert(4 * kMaxWindowBlocks >= 21, "the AVX2 expansion holds the widest window");

// A sample triple (position, then the pixel's two words) as one 8-byte store;
// its last two bytes land on the position of the triple written next.
inline void StoreTripleWide(uint8_t* out, uint16_t position, const uint8_t* values) {
  uint64_t triple = position | (uint64_t{LoadU32(values)} << 16);
  std::memcpy(out, &triple, 8);
}

// One group of kPixels: start words, then per sample two words per pixel. The
// group (at most 258 bytes) is read once; each pixel's samples are written in
// order into its own run of w triples, so every spill of a wide store is
// overwritten next. The last triple of a range of rows is stored exactly.
// kFixedWidth: the window width when known at compile time (0: use w). A
// single-sample window is common enough to get its own unrolled copy.
// With AVX2 (the edge groups of two pixels; the inner groups of a row go to
// the kernels for whole rows) runs are written in exact blocks of four triples
// (windows of at least four samples). The last group of a range stays
// portable: the blocks read past a group's end.
template <uint32_t kPixels, uint32_t kFixedWidth>
const uint8_t* ExpandGroup(SimdLevel level, const uint8_t* in, uint8_t* out, uint32_t runtimeWidth, uint16_t back,
                           bool lastOfRange) {
  const uint32_t w = kFixedWidth ? kFixedWidth : runtimeWidth;
  const uint8_t* samples = in + 2 * kPixels;
  const size_t samplesBytes = size_t{w} * 4 * kPixels;
  uint16_t positions[kPixels];
  for (uint32_t q = 0; q < kPixels; ++q) positions[q] = static_cast<uint16_t>(LoadU16(in + 2 * q) - back);
  if (kFixedWidth == 0 && HasAvx2(level) && !lastOfRange &&
      ExpandBlocksAvx2(samples, kPixels, w, positions, out))
    return samples + samplesBytes;
  for (uint32_t q = 0; q < kPixels; ++q, out += size_t{w} * 6) {
    uint16_t position = positions[q];
    const uint8_t* values = samples + 4 * q;
    uint8_t* triple = out;
    const uint32_t wide = lastOfRange && q + 1 == kPixels ? w - 1 : w;
    for (uint32_t k = 0; k < wide; ++k, triple += 6, values += 4 * kPixels) {
      StoreTripleWide(triple, position, values);
      position = static_cast<uint16_t>(position + kPositionStep);
    }
    if (wide < w) {
      StoreU16(triple, position);
      std::memcpy(triple + 2, values, 4);
    }
  }
  return samples + samplesBytes;
}

}  // namespace

uint64_t CompactWindowBytes(uint32_t halfWindow) {
  // Per pixel one start word and two words per sample.
  return uint64_t{kWindowRows} * kWindowColumns * (1 + 2 * WindowWidth(halfWindow)) * 2;
}

uint64_t ExpandedWindowBytes(uint32_t halfWindow) {
  return uint64_t{kWindowRows} * kWindowColumns * WindowWidth(halfWindow) * 6;
}

namespace {

// Rows [first, end); the last group of the range is stored exactly, since the
// row after it may belong to another thread's range.
template <uint32_t kFixedWidth>
void ExpandRows(SimdLevel level, const uint8_t* in, uint8_t* out, uint32_t w, uint16_t back, size_t first,
                size_t end) {
  const size_t pixelBytes = size_t{w} * 6;
  in += first * kWindowColumns * (1 + 2 * size_t{w}) * 2;
  out += first * kWindowColumns * pixelBytes;
  // A row: two pixels at each edge, 92 groups of three in between.
  constexpr uint32_t kInnerGroups = (kWindowColumns - 4) / 3;
  for (size_t row = first; row < end; ++row) {
    in = ExpandGroup<2, kFixedWidth>(level, in, out, w, back, false);
    out += 2 * pixelBytes;
    uint32_t g = 0;
    // The inner groups are followed by an edge group, which absorbs the AVX2
    // kernels' reads and writes past them. A single sample has no position
    // offset (H = 0): its groups are permutations.
    if (HasAvx2(level)) {
      in = kFixedWidth == 1 ? ExpandSingleSampleGroupsAvx2(in, out, kInnerGroups)
                            : ExpandGroupsAvx2(in, out, kInnerGroups, w, back);
      out += kInnerGroups * 3 * pixelBytes;
      g = kInnerGroups;
    }
    for (; g < kInnerGroups; ++g, out += 3 * pixelBytes)
      in = ExpandGroup<3, kFixedWidth>(level, in, out, w, back, false);
    in = ExpandGroup<2, kFixedWidth>(level, in, out, w, back, row + 1 == end);
    out += 2 * pixelBytes;
  }
}

}  // namespace

bool ExpandWindow(const void* src, size_t srcBytes, void* dst, size_t dstBytes, uint32_t halfWindow) {
  return ExpandWindow(BestSimdLevel(), src, srcBytes, dst, dstBytes, halfWindow);
}

bool ExpandWindow(SimdLevel level, const void* src, size_t srcBytes, void* dst, size_t dstBytes,
                  uint32_t halfWindow, uint32_t threads) {
  if (!src || !dst || !Fits(CompactWindowBytes(halfWindow), srcBytes) ||
      !Fits(ExpandedWindowBytes(halfWindow), dstBytes))
    return false;
  const uint32_t w = WindowWidth(halfWindow);
  const uint16_t back = static_cast<uint16_t>(kPositionStep * std::min<uint32_t>(halfWindow, 10));
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dst);
  RunInParts(threads, kWindowRows, 1, [=](size_t first, size_t end) {
    if (w == 1 && level == SimdLevel::kAvx512) {
      const size_t rowBytes = size_t{kWindowColumns} * 6;
      first += ExpandSingleSampleRowsAvx512(in + first * rowBytes, out + first * rowBytes, end - first);
      if (first == end) return;
    }
    if (w == 1) ExpandRows<1>(level, in, out, w, back, first, end);
    else ExpandRows<0>(level, in, out, w, back, first, end);
  });
  return true;
}

namespace {

inline void AddSurfaceOffsetsScalar(uint8_t* data, const uint8_t* offsets, size_t first, size_t words) {
  for (size_t i = first | 1; i < words; i += 2) {
    uint32_t word = LoadU16(data + 2 * i);
    if (word == 0) continue;
    uint32_t sum = word + LoadU16(offsets + 2 * i);
    StoreU16(data + 2 * i, static_cast<uint16_t>(sum > 0xFFFF ? 0xFFFF : sum));
  }
}

}  // namespace

void AddSurfaceOffsets(void* data, const void* offsets, size_t words) {
  AddSurfaceOffsets(BestSimdLevel(), data, offsets, words);
}

void AddSurfaceOffsets(SimdLevel level, void* data, const void* offsets, size_t words) {
  auto* d = static_cast<uint8_t*>(data);
  const auto* o = static_cast<const uint8_t*>(offsets);
  size_t i = level == SimdLevel::kAvx512 ? AddSurfaceOffsetsAvx512(d, o, words) : 0;
  if (HasAvx2(level)) i += AddSurfaceOffsetsAvx2(d + 2 * i, o + 2 * i, words - i);
#if defined(__SSE2__)
  // Eight words at a time: a saturating add, kept only in the odd lanes whose
  // word is non-zero.
  const __m128i odd = _mm_set1_epi32(static_cast<int>(0xFFFF0000u));
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= words; i += 8) {
    __m128i word = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 2 * i));
    __m128i sum = _mm_adds_epu16(word, _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + 2 * i)));
    __m128i keep = _mm_or_si128(_mm_cmpeq_epi16(word, zero), _mm_andnot_si128(odd, _mm_set1_epi32(-1)));
    __m128i result = _mm_or_si128(_mm_and_si128(keep, word), _mm_andnot_si128(keep, sum));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * i), result);
  }
#endif
  AddSurfaceOffsetsScalar(d, o, i, words);
}

}  // namespace orvex
