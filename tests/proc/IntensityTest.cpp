#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "acq/ProcessRoutines.h"

using namespace orvex;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kPlane = 90000;

uint32_t U32(const Bytes& b, size_t i) {
  uint32_t v;
  std::memcpy(&v, &b[4 * i], 4);
  return v;
}
float F32(const Bytes& b, size_t i) {
  float v;
  std::memcpy(&v, &b[4 * i], 4);
  return v;
}
void PutU32(Bytes& b, size_t i, uint32_t v) { std::memcpy(&b[4 * i], &v, 4); }
void PutF32(Bytes& b, size_t i, float v) { std::memcpy(&b[4 * i], &v, 4); }

// The plane-by-plane description, done literally: regroup, then overwrite the
// destination in place.
Bytes ReferenceIntensity(const Bytes& src, uint32_t n, uint32_t d, int factor) {
  Bytes dst(src.size());
  size_t at = 0;
  for (size_t r = 0; r < 300; ++r)
    for (size_t g = 0; g < 100; ++g)
      for (size_t f = 0; f < n; ++f)
        for (size_t k = 0; k < 3; ++k) PutU32(dst, f * kPlane + r * 300 + 3 * g + k, U32(src, at++));
  for (size_t i = 0; i < kPlane; ++i) {
    PutF32(dst, (n - 1) * kPlane + i, 0.0f);
    PutF32(dst, (n - 2) * kPlane + i, 0.0f);
  }
  for (size_t f = 1; f < d; ++f)
    for (size_t i = 0; i < kPlane; ++i) {
      uint32_t v = U32(dst, f * kPlane + i);
      PutF32(dst, (n - 1) * kPlane + i, F32(dst, (n - 1) * kPlane + i) + static_cast<float>(v & 0xFFFF));
      PutF32(dst, (n - 2) * kPlane + i, F32(dst, (n - 2) * kPlane + i) + static_cast<float>(v >> 16));
    }
  for (size_t i = 0; i < kPlane; ++i) {
    float dark0 = F32(dst, (n - 1) * kPlane + i) / static_cast<float>(d - 1);
    float dark1 = F32(dst, (n - 2) * kPlane + i) / static_cast<float>(d - 1);
    PutF32(dst, (n - 1) * kPlane + i, dark0);
    PutF32(dst, (n - 2) * kPlane + i, dark1);
    uint32_t v = U32(dst, (d + 1) * kPlane + i);
    PutF32(dst, i, static_cast<float>(v & 0xFFFF) - dark0);
    PutF32(dst, kPlane + i, static_cast<float>(v >> 16) - dark1);
  }
  for (size_t j = 0; j + d + 4 <= n; ++j)
    for (size_t i = 0; i < kPlane; ++i) {
      uint32_t w = U32(dst, (d + 1 + j) * kPlane + i);
      float dark0 = F32(dst, (n - 1) * kPlane + i), dark1 = F32(dst, (n - 2) * kPlane + i);
      float v = static_cast<float>(w & 0xFFFF) - dark0;
      if (v > 300.0) v = (static_cast<float>(w >> 16) - dark1) * factor;
      if (v < 0.0) v = 0.0;
      PutF32(dst, (2 + j) * kPlane + i, v);
    }
  return dst;
}

Bytes RandomStack(uint32_t n, uint32_t d, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes src(size_t{n} * 360000);
  size_t at = 0;
  for (size_t group = 0; group < 30000; ++group)
    for (uint32_t f = 0; f < n; ++f)
      for (int k = 0; k < 3; ++k) {
        bool dark = f >= 1 && f < d;
        uint32_t first = dark ? rng() % 60 : rng() % 700;
        uint32_t second = dark ? rng() % 60 : rng() % 400;
        PutU32(src, at++, (second << 16) | first);
      }
  return src;
}

}  // namespace

TEST(IntensityTest, SinglePassMatchesThePlaneByPlaneDescriptionBitForBit) {
  struct Case {
    uint32_t n, d, ratio;
  };
  for (Case c : {Case{9, 3, 3}, Case{6, 2, 0}, Case{12, 5, 1}}) {
    SCOPED_TRACE(testing::Message() << "N " << c.n << " D " << c.d);
    Bytes src = RandomStack(c.n, c.d, c.n * 100 + c.d);
    Bytes dst(src.size() + 1, 0x5A);
    IntensityParams p{c.n, c.d, ExposureFactor(c.ratio)};
    ASSERT_TRUE(ComputeIntensity(src.data(), src.size(), dst.data(), src.size(), p));
    EXPECT_EQ(dst.back(), 0x5A);
    dst.pop_back();
    Bytes expected = ReferenceIntensity(src, c.n, c.d, static_cast<int>(ExposureFactor(c.ratio)));
    ASSERT_EQ(dst.size(), expected.size());
    EXPECT_EQ(std::memcmp(dst.data(), expected.data(), dst.size()), 0);
  }
}

TEST(IntensityTest, FactorTable) {
  EXPECT_EQ(ExposureFactor(0), 2.0f);
  EXPECT_EQ(ExposureFactor(1), 4.0f);
  EXPECT_EQ(ExposureFactor(2), 8.0f);
  EXPECT_EQ(ExposureFactor(3), 16.0f);
  EXPECT_EQ(ExposureFactor(4), 2.0f);
  EXPECT_EQ(ExposureFactor(5), 2.0f);
}

// N = 8, D = 3: dark frames 1 and 2, reference frame 4, planes 2 and 3 from
// frames 4 and 5, raw frames 4 and 5 kept, dark planes 6 and 7.
TEST(IntensityTest, ThresholdAt300KeepsTheValueAbove300SwitchesToTheScaledSecondWord) {
  const uint32_t n = 8, d = 3;
  Bytes src(size_t{n} * 360000, 0);
  auto put = [&](uint32_t frame, int pixel, uint32_t first, uint32_t second) {
    PutU32(src, frame * 3 + pixel, (second << 16) | first);
  };
  put(1, 0, 10, 20);  // pixel 0: dark0 10.5, dark1 20.5
  put(2, 0, 11, 21);
  put(1, 1, 10, 20);  // pixel 1: dark0 10, dark1 20
  put(2, 1, 10, 20);
  put(4, 0, 311, 50);  // 300.5: (50 - 20.5) x 16
  put(4, 1, 310, 50);  // 300.0 exactly: kept
  put(5, 0, 5, 90);    // below the dark level: 0
  put(5, 1, 400, 10);  // scaled second word negative: 0
  Bytes dst(src.size());
  ASSERT_TRUE(ComputeIntensity(src.data(), src.size(), dst.data(), dst.size(), {n, d, ExposureFactor(3)}));
  EXPECT_EQ(F32(dst, 0), 300.5f);
  EXPECT_EQ(F32(dst, 1), 300.0f);
  EXPECT_EQ(F32(dst, kPlane + 0), 29.5f);
  EXPECT_EQ(F32(dst, 2 * kPlane + 0), 29.5f * 16);
  EXPECT_EQ(F32(dst, 2 * kPlane + 1), 300.0f);
  EXPECT_EQ(F32(dst, 3 * kPlane + 0), 0.0f);
  EXPECT_EQ(F32(dst, 3 * kPlane + 1), 0.0f);
  EXPECT_EQ(U32(dst, 4 * kPlane + 1), (50u << 16) | 310) << "frames N-D-1 to N-3 stay raw";
  EXPECT_EQ(U32(dst, 5 * kPlane + 1), (10u << 16) | 400);
  EXPECT_EQ(F32(dst, 6 * kPlane + 0), 20.5f);
  EXPECT_EQ(F32(dst, 7 * kPlane + 0), 10.5f);
  EXPECT_EQ(F32(dst, 7 * kPlane + 2), 0.0f);
  // An untouched pixel: no dark, no light.
  EXPECT_EQ(F32(dst, 2 * kPlane + 500), 0.0f);
  EXPECT_EQ(F32(dst, 500), 0.0f);
}

TEST(IntensityTest, FrameCountsWithoutDarkAverageOrPlanesAreRefusedUntouched) {
  EXPECT_FALSE(IntensityFramesUsable(10, 0));
  EXPECT_FALSE(IntensityFramesUsable(10, 1)) << "one dark frame would divide by zero";
  EXPECT_FALSE(IntensityFramesUsable(4, 2)) << "N - D - 3 would wrap";
  EXPECT_FALSE(IntensityFramesUsable(0, 2));
  EXPECT_FALSE(IntensityFramesUsable(1, 0xFFFFFFFFu));
  EXPECT_TRUE(IntensityFramesUsable(5, 2));
  Bytes src(4 * 360000, 1), dst(4 * 360000, 0);
  EXPECT_FALSE(ComputeIntensity(src.data(), src.size(), dst.data(), dst.size(), {4, 2, 2.0f}));
  EXPECT_FALSE(ComputeIntensity(src.data(), src.size(), dst.data(), dst.size(), {4, 1, 2.0f}));
  EXPECT_EQ(dst, Bytes(dst.size(), 0));
  Bytes six(6 * 360000);
  EXPECT_FALSE(ComputeIntensity(six.data(), six.size(), dst.data(), dst.size(), {6, 2, 2.0f})) << "short dst";
}

// N = D + 3: the two basic planes exist, no high-dynamic-range plane. The
// reference frame D + 1 is also where the second dark plane goes; it must be
// read before it is overwritten.
TEST(IntensityTest, TwoPlanesOnlyWhenNIsDPlusThree) {
  const uint32_t n = 5, d = 2;
  Bytes src(size_t{n} * 360000, 0);
  PutU32(src, 1 * 3, (20u << 16) | 10);    // dark frame 1, pixel 0
  PutU32(src, 2 * 3, (7u << 16) | 7);      // frame 2: kept raw
  PutU32(src, 3 * 3, (100u << 16) | 200);  // reference frame 3
  Bytes dst(src.size());
  ASSERT_TRUE(ComputeIntensity(src.data(), src.size(), dst.data(), dst.size(), {n, d, 2.0f}));
  EXPECT_EQ(F32(dst, 0), 190.0f);
  EXPECT_EQ(F32(dst, kPlane), 80.0f);
  EXPECT_EQ(U32(dst, 2 * kPlane), (7u << 16) | 7);
  EXPECT_EQ(F32(dst, 3 * kPlane), 20.0f);
  EXPECT_EQ(F32(dst, 4 * kPlane), 10.0f);
}
