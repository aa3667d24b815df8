#include <gtest/gtest.h>

#include <cstring>
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

uint16_t Word(const Bytes& b, size_t index) {
  uint16_t v;
  std::memcpy(&v, b.data() + 2 * index, 2);
  return v;
}
void SetWord(Bytes& b, size_t index, uint16_t v) { std::memcpy(b.data() + 2 * index, &v, 2); }
uint32_t Pixel(const Bytes& b, size_t index) {
  uint32_t v;
  std::memcpy(&v, b.data() + 4 * index, 4);
  return v;
}
void SetPixel(Bytes& b, size_t index, uint32_t v) { std::memcpy(b.data() + 4 * index, &v, 4); }

// Element by element, straight from the sensor order.
Bytes ReferenceRegroup(const Bytes& src, const StackShape& s, uint32_t frames) {
  Bytes dst(StackBytes(s, frames));
  const size_t e = s.elementBytes, columns = 3 * s.groups;
  size_t i = 0;
  for (size_t r = 0; r < s.rows; ++r)
    for (size_t g = 0; g < s.groups; ++g)
      for (size_t f = 0; f < frames; ++f)
        for (size_t k = 0; k < 3; ++k, i += e)
          std::memcpy(&dst[((f * s.rows + r) * columns + 3 * g + k) * e], &src[i], e);
  return dst;
}

}  // namespace

TEST(RegroupTest, MatchesTheElementwiseOrderForEveryElementSizeAndFrameCount) {
  for (const StackShape& shape : {kStack300x300x32, kStack282x292x16, kStack282x292x8}) {
    for (uint32_t frames : {1u, 2u, 3u, 7u}) {
      SCOPED_TRACE(testing::Message() << "element " << shape.elementBytes << " frames " << frames);
      const size_t bytes = StackBytes(shape, frames);
      Bytes src = RandomBytes(bytes, frames * 31 + shape.elementBytes);
      // One guard byte behind the destination: nothing may spill past the image.
      Bytes dst(bytes + 1, 0xA5);
      ASSERT_TRUE(RegroupFrames(src.data(), src.size(), dst.data(), bytes, shape, frames));
      EXPECT_EQ(dst.back(), 0xA5);
      dst.pop_back();
      EXPECT_EQ(dst, ReferenceRegroup(src, shape, frames));
      if (frames == 1) {
        EXPECT_EQ(dst, src) << "one frame is a plain copy";
      }
    }
  }
}

TEST(RegroupTest, ShortSourceOrDestinationIsRefusedUntouched) {
  const size_t bytes = StackBytes(kStack282x292x16, 2);
  EXPECT_EQ(bytes, 2u * 164688);
  Bytes src(bytes, 1), dst(bytes, 0);
  EXPECT_FALSE(RegroupFrames(src.data(), bytes - 1, dst.data(), bytes, kStack282x292x16, 2));
  EXPECT_FALSE(RegroupFrames(src.data(), bytes, dst.data(), bytes - 1, kStack282x292x16, 2));
  EXPECT_FALSE(RegroupFrames(nullptr, bytes, dst.data(), bytes, kStack282x292x16, 2));
  EXPECT_EQ(dst, Bytes(bytes, 0));
  // Frame counts from the device can be absurd: the byte count must not wrap.
  EXPECT_FALSE(RegroupFrames(src.data(), bytes, dst.data(), bytes, kStack300x300x32, 0xFFFFFFFFu));
  EXPECT_TRUE(RegroupFrames(src.data(), 0, dst.data(), 0, kStack300x300x32, 0));
}

TEST(CentreCrossTest, PairAverageTakesTheFirstHalfWhenEitherHalfIsZero) {
  EXPECT_EQ(PairAverage(0x00640007, 0x00000009), 0x00640008u) << "right high half 0 keeps the left one";
  EXPECT_EQ(PairAverage(0x00000000, 0x00090009), 0x00000000u);
  EXPECT_EQ(PairAverage(0x00030005, 0x00050000), 0x00040005u);
  EXPECT_EQ(PairAverage(0xFFFFFFFF, 0xFFFFFFFF), 0xFFFFFFFFu) << "the sum must not wrap at 16 bits";
  EXPECT_EQ(PairAverage(0x00020003, 0x00030004), 0x00020003u) << "floor";
}

TEST(CentreCrossTest, WidensTheImageAroundASynthesisedCross) {
  Bytes src(kA16Z16Bytes);
  for (size_t r = 0; r < 292; ++r)
    for (size_t c = 0; c < 280; ++c) SetPixel(src, r * 280 + c, static_cast<uint32_t>(((r + 1) << 16) | (c + 1)));
  SetPixel(src, 10 * 280 + 139, 0x00640007);
  SetPixel(src, 10 * 280 + 140, 0x00000009);
  Bytes dst(kA16Z16CrossBytes + 4, 0xEE);
  ASSERT_TRUE(WidenCentreCross(src.data(), src.size(), dst.data(), kA16Z16CrossBytes));
  EXPECT_EQ(Pixel(dst, 281 * 293), 0xEEEEEEEEu);
  auto at = [&](size_t r, size_t c) { return Pixel(dst, r * 281 + c); };
  auto in = [&](size_t r, size_t c) { return Pixel(src, r * 280 + c); };
  for (size_t r = 0; r < 292; ++r) {
    size_t dr = r < 146 ? r : r + 1;
    ASSERT_EQ(at(dr, 0), in(r, 0));
    ASSERT_EQ(at(dr, 139), in(r, 139));
    ASSERT_EQ(at(dr, 141), in(r, 140));
    ASSERT_EQ(at(dr, 280), in(r, 279));
    ASSERT_EQ(at(dr, 140), PairAverage(in(r, 139), in(r, 140)));
  }
  EXPECT_EQ(at(10, 140), 0x00640008u);
  // Rows 145 and 147 are source rows 145 and 146 (values 146 and 147 high).
  EXPECT_EQ(at(146, 0), (146u << 16) | 1);
  for (size_t c = 0; c < 281; ++c) ASSERT_EQ(at(146, c), PairAverage(at(145, c), at(147, c)));
}

TEST(CentreCrossTest, ShortRecordsAreRefused) {
  Bytes src(kA16Z16Bytes), dst(kA16Z16CrossBytes);
  EXPECT_FALSE(WidenCentreCross(src.data(), src.size(), dst.data(), kA16Z16CrossBytes - 1));
  EXPECT_FALSE(WidenCentreCross(src.data(), src.size() - 1, dst.data(), dst.size()));
}

namespace {

// A compact window source where every value says where it came from.
uint16_t StartWord(size_t r, size_t c) { return static_cast<uint16_t>(r * 7 + c * 3 + 5); }
uint16_t SampleWord(size_t r, size_t c, size_t k, size_t v) {
  return static_cast<uint16_t>((r * 280 + c) * 16 + k * 2 + v + 1000);
}

Bytes CompactWindow(uint32_t h) {
  const size_t w = 2 * h + 1;
  Bytes src(CompactWindowBytes(h));
  size_t i = 0;
  for (size_t r = 0; r < 292; ++r) {
    size_t c = 0;
    while (c < 280) {
      size_t n = (c == 0 || c == 278) ? 2 : 3;
      for (size_t q = 0; q < n; ++q) SetWord(src, i++, StartWord(r, c + q));
      for (size_t k = 0; k < w; ++k)
        for (size_t q = 0; q < n; ++q)
          for (size_t v = 0; v < 2; ++v) SetWord(src, i++, SampleWord(r, c + q, k, v));
      c += n;
    }
  }
  EXPECT_EQ(i * 2, src.size());
  return src;
}

void ExpectExpanded(const Bytes& dst, uint32_t h, uint16_t startOverride = 0, bool overridden = false) {
  const size_t w = 2 * h + 1;
  for (size_t r = 0; r < 292; ++r)
    for (size_t c = 0; c < 280; ++c) {
      uint16_t position = static_cast<uint16_t>((overridden && r == 0 && c == 0 ? startOverride : StartWord(r, c)) -
                                                32 * h);
      for (size_t k = 0; k < w; ++k, position = static_cast<uint16_t>(position + 32)) {
        size_t at = ((r * 280 + c) * w + k) * 3;
        ASSERT_EQ(Word(dst, at), position) << r << "," << c << "," << k;
        ASSERT_EQ(Word(dst, at + 1), SampleWord(r, c, k, 0));
        ASSERT_EQ(Word(dst, at + 2), SampleWord(r, c, k, 1));
      }
    }
}

}  // namespace

TEST(WindowTest, OneSamplePerPixelAtTheStartWordWhenHIsZero) {
  Bytes src = CompactWindow(0);
  Bytes dst(ExpandedWindowBytes(0));
  ASSERT_TRUE(ExpandWindow(src.data(), src.size(), dst.data(), dst.size(), 0));
  ExpectExpanded(dst, 0);
}

TEST(WindowTest, PositionsStepBy32FromStartMinus32HAndWrapAt16Bits) {
  const uint32_t h = 2;
  Bytes src = CompactWindow(h);
  SetWord(src, 0, 10);  // 10 - 64 wraps to 65482
  Bytes dst(ExpandedWindowBytes(h) + 2, 0x77);
  ASSERT_TRUE(ExpandWindow(src.data(), src.size(), dst.data(), ExpandedWindowBytes(h), h));
  EXPECT_EQ(Word(dst, 0), 65482);
  EXPECT_EQ(Word(dst, 3 * 2), 65482 + 64 - 65536);
  ExpectExpanded(dst, h, 10, true);
  EXPECT_EQ(Word(dst, ExpandedWindowBytes(h) / 2), 0x7777);
  EXPECT_FALSE(ExpandWindow(src.data(), src.size() - 1, dst.data(), dst.size(), h));
  EXPECT_FALSE(ExpandWindow(src.data(), src.size(), dst.data(), ExpandedWindowBytes(h) - 1, h));
}

TEST(OffsetTest, SurfaceWordsSaturateAndZerosStay) {
  // amplitude, surface pairs
  std::vector<uint16_t> data = {65000, 65000, 7, 0, 9, 100, 65535, 65535, 1, 1};
  std::vector<uint16_t> offsets = {1000, 1000, 1000, 1000, 5, 1000, 1, 0, 0, 65535};
  AddSurfaceOffsets(data.data(), offsets.data(), data.size());
  EXPECT_EQ(data, (std::vector<uint16_t>{65000, 65535, 7, 0, 9, 1100, 65535, 65535, 1, 65535}));
}

TEST(OffsetTest, WideAndNarrowPathsAgreeAtEveryLength) {
  std::mt19937 rng(5);
  for (size_t words = 0; words < 40; ++words) {
    std::vector<uint16_t> data(words + 1), offsets(words + 1), expected;
    for (size_t i = 0; i <= words; ++i) {
      data[i] = static_cast<uint16_t>(rng() % 4 == 0 ? 0 : rng());
      offsets[i] = static_cast<uint16_t>(rng());
    }
    expected = data;
    for (size_t i = 1; i < words; i += 2)
      if (expected[i]) expected[i] = static_cast<uint16_t>(std::min<uint32_t>(expected[i] + offsets[i], 65535));
    // Start one byte in: application buffers need not be aligned.
    Bytes raw(2 * data.size() + 1);
    std::memcpy(raw.data() + 1, data.data(), 2 * data.size());
    AddSurfaceOffsets(raw.data() + 1, offsets.data(), words);
    std::memcpy(data.data(), raw.data() + 1, 2 * data.size());
    ASSERT_EQ(data, expected) << words << " words";
  }
}
