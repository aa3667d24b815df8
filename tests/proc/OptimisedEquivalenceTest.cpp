// Every processing kernel (portable and, where the processor has it, AVX2)
// against a plain element-by-element implementation, on random data and on
// shapes that leave partial vectors and steps. Buffers are sized exactly, so
// the sanitizer run also catches any read or write past them.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <random>
#include <vector>

#include "acq/ProcessRoutines.h"

using namespace orvex;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

// Every level up to the processor's own.
std::vector<SimdLevel> Levels() {
  std::vector<SimdLevel> levels{SimdLevel::kPortable};
  if (HasAvx2(BestSimdLevel())) levels.push_back(SimdLevel::kAvx2);
  if (BestSimdLevel() == SimdLevel::kAvx512) levels.push_back(SimdLevel::kAvx512);
  return levels;
}

const char* Name(SimdLevel level) {
  return level == SimdLevel::kAvx512 ? "avx512" : level == SimdLevel::kAvx2 ? "avx2" : "portable";
}

// One thread, an even split and an uneven one: a wide store that crosses into
// the next thread's piece shows up as a wrong byte at the boundary.
constexpr uint32_t kThreadCounts[] = {1, 2, 3};

Bytes ReferenceRegroup(const Bytes& src, const StackShape& s, uint32_t frames) {
  Bytes dst(StackBytes(s, frames));
  const size_t e = s.elementBytes, columns = 3 * size_t{s.groups};
  size_t i = 0;
  for (size_t r = 0; r < s.rows; ++r)
    for (size_t g = 0; g < s.groups; ++g)
      for (size_t f = 0; f < frames; ++f)
        for (size_t k = 0; k < 3; ++k, i += e)
          std::memcpy(&dst[((f * s.rows + r) * columns + 3 * g + k) * e], &src[i], e);
  return dst;
}

uint32_t U32(const Bytes& b, size_t i) {
  uint32_t v;
  std::memcpy(&v, &b[4 * i], 4);
  return v;
}

// The planes, value by value, from the layout described in IntensityRoutine.cpp.
Bytes ReferenceIntensity(const Bytes& src, const IntensityParams& p) {
  Bytes raw = ReferenceRegroup(src, kStack300x300x32, p.frames), out = raw;
  const size_t pixels = 300 * 300;
  const uint32_t n = p.frames, d = p.darkFrames;
  auto put = [&](uint32_t plane, size_t i, float v) { std::memcpy(&out[4 * (plane * pixels + i)], &v, 4); };
  for (size_t i = 0; i < pixels; ++i) {
    float sum0 = 0.0f, sum1 = 0.0f;
    for (uint32_t f = 1; f < d; ++f) {
      sum0 += static_cast<float>(U32(raw, f * pixels + i) & 0xFFFF);
      sum1 += static_cast<float>(U32(raw, f * pixels + i) >> 16);
    }
    const float dark0 = sum0 / static_cast<float>(d - 1), dark1 = sum1 / static_cast<float>(d - 1);
    const uint32_t reference = U32(raw, (d + 1) * pixels + i);
    put(0, i, static_cast<float>(reference & 0xFFFF) - dark0);
    put(1, i, static_cast<float>(reference >> 16) - dark1);
    for (uint32_t plane = 2; plane + d + 2 <= n; ++plane) {
      const uint32_t v = U32(raw, (plane + d - 1) * pixels + i);
      float value = static_cast<float>(v & 0xFFFF) - dark0;
      if (value > 300.0f) value = (static_cast<float>(v >> 16) - dark1) * p.factor;
      if (value < 0.0f) value = 0.0f;
      put(plane, i, value);
    }
    put(n - 2, i, dark1);
    put(n - 1, i, dark0);
  }
  return out;
}

// Window rows of 280 pixels in groups of 2, 92 x 3 and 2: start words, then
// per sample one dword per pixel of the group; out triples (start - 32 H + 32 k, dword).
Bytes ReferenceExpand(const Bytes& src, uint32_t h) {
  const uint32_t w = 2 * h + 1;
  Bytes out(ExpandedWindowBytes(h));
  size_t in = 0, pixel = 0;
  for (uint32_t row = 0; row < 292; ++row) {
    for (uint32_t group = 0; group < 94; ++group) {
      const uint32_t n = group == 0 || group == 93 ? 2 : 3;
      for (uint32_t q = 0; q < n; ++q, ++pixel) {
        uint16_t start;
        std::memcpy(&start, &src[in + 2 * q], 2);
        for (uint32_t k = 0; k < w; ++k) {
          const uint16_t position = static_cast<uint16_t>(start - 32 * h + 32 * k);
          uint8_t* triple = &out[6 * (pixel * w + k)];
          std::memcpy(triple, &position, 2);
          std::memcpy(triple + 2, &src[in + 2 * n + 4 * (n * k + q)], 4);
        }
      }
      in += 2 * n + 4 * n * w;
    }
  }
  return out;
}

// Each stack of random words on every kernel and thread count this machine has.
void ExpectEveryKernelRegroupsAsTheReference(const std::vector<std::pair<StackShape, uint32_t>>& cases) {
  for (const auto& [shape, frames] : cases) {
    const size_t bytes = StackBytes(shape, frames);
    const Bytes src = RandomBytes(bytes, frames * 977 + shape.rows * shape.groups);
    const Bytes expected = ReferenceRegroup(src, shape, frames);
    for (SimdLevel level : Levels())
      for (uint32_t threads : kThreadCounts) {
        SCOPED_TRACE(testing::Message() << Name(level) << " " << shape.rows << "x" << shape.groups << "x"
                                        << shape.elementBytes << " frames " << frames << " threads " << threads);
        Bytes dst(bytes);
        ASSERT_TRUE(RegroupFrames(level, src.data(), src.size(), dst.data(), dst.size(), shape, frames, threads));
        EXPECT_TRUE(dst == expected);
      }
  }
}

}  // namespace

TEST(OptimisedEquivalenceTest, RegroupMatchesTheElementwiseCopyOnEveryKernelAndShape) {
  // Shapes with partial steps of every element size, a single group, a single
  // row, the camera's own shapes and the largest frame count a stack uses.
  // Frame counts on both sides of each kernel's limits (8-bit: 3 | 4, 5 with
  // an overlapping block, 9 and 10 in blocks of five, 10 | 11 for the paired
  // reads, four frames with just
  // the groups their reads pass; 16-bit: 15 | 16, odd counts with an overlapping
  // pair; 32-bit: 20 | 21 and 32 | 33 around the two bands), group counts that
  // leave exactly the groups a spilling store needs, and banded stacks long
  // enough to repeat the run of groups.
  const std::vector<std::pair<StackShape, uint32_t>> cases = {
      {{1, 1, 4}, 2},  {{1, 1, 2}, 5},   {{1, 1, 1}, 3},    {{3, 37, 4}, 7},   {{5, 43, 2}, 3},
      {{7, 71, 1}, 9}, {{2, 33, 1}, 64}, {{1, 17, 2}, 200}, {kStack300x300x32, 1}, {kStack300x300x32, 32},
      {kStack282x292x16, 10}, {kStack282x292x8, 32}, {{3, 37, 2}, 18}, {kStack282x292x16, 32},
      {{4, 29, 1}, 3}, {{1, 11, 1}, 4}, {{2, 19, 1}, 5}, {{1, 10, 2}, 2}, {{3, 21, 2}, 15}, {{2, 25, 2}, 16},
      {{1, 6, 2}, 11}, {kStack282x292x8, 10}, {{2, 31, 4}, 20}, {{3, 23, 4}, 21}, {{2, 35, 4}, 33},
      {{45, 100, 4}, 30}, {{1, 27, 1}, 4}, {{3, 25, 1}, 11}};
  if (BestSimdLevel() != SimdLevel::kAvx512)
    std::cout << "[ SKIPPED  ] the AVX-512 kernels: this processor lacks AVX-512 byte permutes\n";
  ExpectEveryKernelRegroupsAsTheReference(cases);
}

TEST(OptimisedEquivalenceTest, RegroupBlocksOfWholeGroupReadsMatchAroundTheirFrameAndStepLimits) {
  // 8-bit stacks above ten frames and 16-bit ones of four to 32 take blocks
  // of eight or four frames whose last block overlaps the one before it (11,
  // 13, 17 and 200 frames; 7 and 15 for 16-bit; 16 and 24 fill them exactly;
  // 33 and 200 16-bit frames stay with AVX2), and read into the group after
  // each step: 16k + 1 groups leave exactly that group, 16k leave a whole step
  // to the portable copy, and 65 or more groups split into pieces on each
  // thread count.
  const std::vector<std::pair<StackShape, uint32_t>> cases = {
      {{1, 17, 1}, 11}, {{2, 16, 1}, 16}, {{3, 11, 1}, 17}, {{1, 49, 1}, 13}, {{2, 29, 1}, 200}, {{5, 13, 1}, 24},
      {{1, 17, 2}, 4},  {{3, 11, 2}, 7},  {{2, 16, 2}, 16}, {{1, 33, 2}, 17}, {{5, 13, 2}, 24},  {{1, 49, 2}, 15},
      {{2, 17, 2}, 33}, {{4, 20, 2}, 200}};
  ExpectEveryKernelRegroupsAsTheReference(cases);
}

TEST(OptimisedEquivalenceTest, IntensityPlanesAreBitForBitTheValueByValueResult) {
  // The fewest frames for a dark count, raw frames that are dark frames and
  // frame D ({9, 6}), a long dark average and the largest stacks.
  const std::vector<std::pair<uint32_t, uint32_t>> counts = {{5, 2},  {6, 3},   {8, 3},  {9, 6},
                                                             {13, 4}, {21, 17}, {32, 3}, {48, 2}};
  for (auto [frames, dark] : counts) {
    const IntensityParams params{frames, dark, ExposureFactor(frames % 4)};
    const size_t bytes = StackBytes(kStack300x300x32, frames);
    Bytes src = RandomBytes(bytes, frames);
    // Low first words keep both branches of the threshold busy.
    for (size_t i = 0; i < bytes; i += 4) src[i + 1] &= 0x03;
    const Bytes expected = ReferenceIntensity(src, params);
    for (SimdLevel level : Levels()) {
      SCOPED_TRACE(testing::Message() << Name(level) << " frames " << frames << " dark " << dark);
      Bytes dst(bytes);
      ASSERT_TRUE(ComputeIntensity(level, src.data(), src.size(), dst.data(), dst.size(), params));
      EXPECT_TRUE(dst == expected);
    }
  }
}

TEST(OptimisedEquivalenceTest, SurfaceOffsetsSaturateOnlyNonZeroOddWordsOnEveryKernel) {
  for (size_t words : {size_t{1}, size_t{2}, size_t{15}, size_t{17}, size_t{33}, size_t{49}, size_t{280 * 292 * 2 + 3}}) {
    Bytes data = RandomBytes(2 * words, static_cast<uint32_t>(words));
    const Bytes offsets = RandomBytes(2 * words, static_cast<uint32_t>(words) + 1);
    for (size_t i = 0; i < words; i += 3) data[2 * i] = data[2 * i + 1] = 0;  // zero words stay zero
    Bytes expected = data;
    for (size_t i = 1; i < words; i += 2) {
      uint16_t word, offset;
      std::memcpy(&word, &expected[2 * i], 2);
      std::memcpy(&offset, &offsets[2 * i], 2);
      if (word == 0) continue;
      const uint32_t sum = uint32_t{word} + offset;
      const uint16_t result = static_cast<uint16_t>(sum > 0xFFFF ? 0xFFFF : sum);
      std::memcpy(&expected[2 * i], &result, 2);
    }
    for (SimdLevel level : Levels()) {
      SCOPED_TRACE(testing::Message() << Name(level) << " words " << words);
      Bytes out = data;
      AddSurfaceOffsets(level, out.data(), offsets.data(), words);
      EXPECT_TRUE(out == expected);
    }
  }
}

TEST(OptimisedEquivalenceTest, WindowExpansionMatchesTheTripleByTripleLayoutForEveryWidth) {
  for (uint32_t h = 0; h <= 10; ++h) {
    const Bytes src = RandomBytes(CompactWindowBytes(h), h + 17);
    const Bytes expected = ReferenceExpand(src, h);
    for (SimdLevel level : Levels())
      for (uint32_t threads : kThreadCounts) {
        SCOPED_TRACE(testing::Message() << Name(level) << " H " << h << " threads " << threads);
        Bytes dst(ExpandedWindowBytes(h));
        ASSERT_TRUE(ExpandWindow(level, src.data(), src.size(), dst.data(), dst.size(), h, threads));
        EXPECT_TRUE(dst == expected);
      }
  }
}

TEST(OptimisedEquivalenceTest, CentreCrossMatchesThePixelByPixelWideningOnEveryKernel) {
  // Zero halves in a third of the words reach both branches of the average.
  Bytes src = RandomBytes(kA16Z16Bytes, 5);
  for (size_t i = 0; i < src.size(); i += 12) src[i] = src[i + 1] = 0;
  Bytes expected(kA16Z16CrossBytes);
  auto in = [&](size_t r, size_t c) { return U32(src, r * 280 + c); };
  auto put = [&](size_t r, size_t c, uint32_t v) { std::memcpy(&expected[4 * (r * 281 + c)], &v, 4); };
  for (size_t r = 0; r < 292; ++r) {
    const size_t row = r < 146 ? r : r + 1;
    for (size_t c = 0; c < 280; ++c) put(row, c < 140 ? c : c + 1, in(r, c));
    put(row, 140, PairAverage(in(r, 139), in(r, 140)));
  }
  for (size_t c = 0; c < 281; ++c) put(146, c, PairAverage(U32(expected, 145 * 281 + c), U32(expected, 147 * 281 + c)));
  for (SimdLevel level : Levels()) {
    SCOPED_TRACE(Name(level));
    Bytes dst(kA16Z16CrossBytes);
    ASSERT_TRUE(WidenCentreCross(level, src.data(), src.size(), dst.data(), dst.size()));
    EXPECT_TRUE(dst == expected);
  }
}
