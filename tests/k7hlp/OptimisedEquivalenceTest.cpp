// The per-image operations against plain implementations of the same
// arithmetic (sorting medians, per-pixel index maps, binary searches), on
// random images of odd sizes with NaN and infinite samples. Results must be
// equal as floats (NaN where the reference has NaN).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "K7Hlp.h"
#include "CpuFeatures.h"
#include "Median.h"
#include "MedianSlopes.h"
#include "Record.h"
#include "ScalingKernels.h"
#include "SlopeTally.h"
#include "Status.h"
#include "TableGrid.h"
#include "TestRecords.h"
#include "TiltRemoval.h"
#include "WindowStack.h"
#include "ZTagTable.h"

using k7hlp_test::MakeSurface;
using k7hlp_test::Record;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The scaling kernels this processor runs, the portable one first.
std::vector<k7hlp::ScalingKernel> ScalingKernels() {
  std::vector<k7hlp::ScalingKernel> kernels;
  for (int k = 0; k <= static_cast<int>(k7hlp::BestScalingKernel()); ++k)
    kernels.push_back(static_cast<k7hlp::ScalingKernel>(k));
  return kernels;
}

bool Same(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

::testing::AssertionResult SameImage(const std::vector<float>& got, const std::vector<float>& expected) {
  if (got.size() != expected.size()) return ::testing::AssertionFailure() << "size " << got.size();
  for (size_t i = 0; i < got.size(); ++i)
    if (!Same(got[i], expected[i]))
      return ::testing::AssertionFailure() << "at " << i << ": " << got[i] << " instead of " << expected[i];
  return ::testing::AssertionSuccess();
}

// NaN after every number, as the library orders them.
bool Before(float a, float b) { return a < b || (!std::isnan(a) && std::isnan(b)); }

float SortedMedian(std::vector<float> v) {
  std::sort(v.begin(), v.end(), Before);
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::vector<float> RandomImage(size_t n, uint32_t seed, float spread, float specials) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(-spread, spread), chance(0.0f, 1.0f);
  const float special[] = {kNaN, kInf, -kInf, 0.0f, -0.0f};
  std::vector<float> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = chance(rng) < specials ? special[rng() % 5] : std::round(value(rng) * 8.0f) / 8.0f + 0.01f * (i % 7);
  return v;
}

// Median slopes over 50 pixels along x and y by sorting, column by column.
std::pair<float, float> ReferenceSlopeMedians(const std::vector<float>& s, size_t w, size_t h) {
  std::vector<float> sx, sy;
  for (size_t x = 0; x + 50 < w; ++x)
    for (size_t y = 0; y + 50 < h; ++y) {
      sx.push_back(s[x + w * y] - s[x + 50 + w * y]);
      sy.push_back(s[x + w * y] - s[x + w * (y + 50)]);
    }
  return {SortedMedian(sx), SortedMedian(sy)};
}

std::vector<float> ReferenceLeveling(const std::vector<float>& s, size_t w, size_t h) {
  std::vector<float> out(w * h);
  const auto [sx, sy] = ReferenceSlopeMedians(s, w, h);
  const float mx = sx / 50.0f, my = sy / 50.0f;
  for (size_t y = 0; y < h; ++y)
    for (size_t x = 0; x < w; ++x) out[x + w * y] = s[x + w * y] + mx * static_cast<float>(x) + my * static_cast<float>(y);
  return out;
}

std::vector<float> ReferenceCross(const std::vector<float>& s, size_t w, size_t h) {
  const size_t wo = w + 1, ho = h + 1, cx = w / 2, cy = h / 2;
  std::vector<float> o(wo * ho);
  for (size_t y = 0; y < h; ++y)
    for (size_t x = 0; x < w; ++x) o[(x + (x >= cx)) + wo * (y + (y >= cy))] = s[x + w * y];
  for (size_t y = 0; y < ho; ++y) o[cx + wo * y] = (o[cx - 1 + wo * y] + o[cx + 1 + wo * y]) * 0.5f;
  for (size_t x = 0; x < wo; ++x) o[x + wo * cy] = (o[x + wo * (cy - 1)] + o[x + wo * (cy + 1)]) * 0.5f;
  return o;
}

std::vector<float> ReferenceCounterPositions(const std::vector<float>& surface, const std::vector<float>& table) {
  std::vector<float> out;
  for (float m : surface) {
    const float lo = std::floor(m), hi = std::ceil(m);
    const size_t l = static_cast<size_t>(lo), h = static_cast<size_t>(hi);
    out.push_back(l == h ? table[l] : (m - hi) * (table[h] - table[l]) / (hi - lo) + table[h]);
  }
  return out;
}

// Status and image of table scaling done with a binary search per pixel.
int ReferenceTableScaling(const std::vector<float>& surface, std::vector<k7hlp::zTagItem> t, float frmDur,
                          std::vector<float>* out) {
  for (auto& item : t) item.x = item.x / (frmDur / 70000);
  for (float c : surface) {
    auto above = std::upper_bound(t.begin(), t.end(), c, [](float v, const k7hlp::zTagItem& i) { return v < i.x; });
    size_t k = static_cast<size_t>(above - t.begin());
    if (k == 0) k = 1;
    if (k == t.size()) k = t.size() - 2;
    if (t[k].x == t[k - 1].x) return -13;
    out->push_back((t[k].z - t[k - 1].z) / (t[k].x - t[k - 1].x) * (c - t[k].x) + t[k].z);
  }
  return 0;
}

}  // namespace

TEST(OptimisedEquivalenceTest, MedianEqualsTheSortedMedian) {
  const float specials[] = {0.0f, 0.02f, 0.3f};
  for (size_t n : {size_t{1}, size_t{2}, size_t{3}, size_t{4}, size_t{101}, size_t{1000}, size_t{55660}}) {
    for (float share : specials) {
      for (float spread : {2.0f, 1e6f}) {
        const std::vector<float> v = RandomImage(n, static_cast<uint32_t>(n * 7 + share * 100), spread, share);
        SCOPED_TRACE(testing::Message() << "n " << n << " specials " << share << " spread " << spread);
        EXPECT_TRUE(Same(k7hlp::Median(v), SortedMedian(v)));
      }
    }
  }
  EXPECT_EQ(k7hlp::Median(std::vector<float>(999, -0.0f)), 0.0f);
  EXPECT_TRUE(std::isnan(k7hlp::Median(std::vector<float>{kInf, -kInf}))) << "the mean of -inf and inf";
}

TEST(OptimisedEquivalenceTest, LevelingEqualsTheColumnWiseSortingImplementation) {
  Record out;  // reused: its sample block is kept for an image of the same size, replaced for another
  for (auto [w, h] : std::vector<std::pair<uint32_t, uint32_t>>{{51, 51}, {53, 97}, {131, 60}, {280, 292}}) {
    for (float specials : {0.0f, 0.01f}) {
      SCOPED_TRACE(testing::Message() << w << " x " << h << " specials " << specials);
      std::vector<float> image = RandomImage(size_t{w} * h, w * h, 4.0f, specials);
      for (size_t i = 0; i < image.size(); ++i) image[i] += 0.25f * (i % w) - 0.125f * (i / w);  // a tilt
      Record in;
      MakeSurface(in, w, h, image);
      ASSERT_EQ(K7Hlp_leveling(in.get(), out.get(), 0, nullptr), 0);
      EXPECT_TRUE(SameImage(out.floats(), ReferenceLeveling(image, w, h)));
    }
  }
  // A sample block longer than the image, into an output block of that size
  // holding earlier values: the samples beyond the image come out zero.
  Record in;
  const uint32_t w = 60, h = 55;
  std::vector<float> image = RandomImage(size_t{w} * h, 5, 4.0f, 0.0f);
  float* samples = k7hlp::GiveFloatSamples(*in.get(), w, h, 0, 0, image.size() + 3);
  std::copy(image.begin(), image.end(), samples);
  float* old = k7hlp::GiveFloatSamples(*out.get(), w, h, 0, 0, image.size() + 3);
  std::fill(old, old + image.size() + 3, 9.0f);
  ASSERT_EQ(K7Hlp_leveling(in.get(), out.get(), 0, nullptr), 0);
  EXPECT_EQ(out->data, old) << "the block of the same size is written again";
  const float* got = static_cast<const float*>(out->data);
  EXPECT_TRUE(SameImage(std::vector<float>(got, got + image.size()), ReferenceLeveling(image, w, h)));
  EXPECT_EQ(std::vector<float>(got + image.size(), got + image.size() + 3), std::vector<float>(3, 0.0f));
}

// Images whose slopes put the medians where the bracketing selection has its
// edge cases: duplicates at and around the median, all slopes equal, NaN and
// infinities up to a NaN median, continuous values that leave many slopes
// to the nested selection. A sample of 1 or 3 makes the brackets miss, which
// exercises the counts at the bracket ends and the full fallback.
TEST(OptimisedEquivalenceTest, MedianSlopesEqualTheSortedMediansForBothKernelsAndEverySampleSize) {
  struct Case {
    const char* name;
    float spread, specials;
    int levels;  // > 0: pixel values rounded to this many steps, for heavy duplicates
  };
  const Case cases[] = {{"continuous", 1000.0f, 0.0f, 0},  {"few levels", 2.0f, 0.0f, 3},
                        {"all equal", 0.0f, 0.0f, 1},       {"some specials", 4.0f, 0.02f, 0},
                        {"mostly specials", 4.0f, 0.6f, 0}, {"all specials", 4.0f, 1.0f, 0}};
  std::vector<bool> kernels = {false};
  if (k7hlp::HasAvx2()) kernels.push_back(true);
  for (auto [w, h] : std::vector<std::pair<size_t, size_t>>{{51, 51}, {57, 52}, {67, 89}, {281, 292}}) {
    for (const Case& c : cases) {
      std::vector<float> image = RandomImage(w * h, static_cast<uint32_t>(w * h), c.spread, c.specials);
      if (c.levels > 0)
        for (float& v : image) v = std::isfinite(v) ? std::fmod(std::round(std::fabs(v)), float(c.levels)) : v;
      const auto [sx, sy] = ReferenceSlopeMedians(image, w, h);
      for (bool avx2 : kernels) {
        for (size_t sample : {size_t{1}, size_t{3}, k7hlp::kSlopeSample}) {
          SCOPED_TRACE(testing::Message() << w << " x " << h << " " << c.name << " avx2 " << avx2 << " sample " << sample);
          const k7hlp::SlopeMedians got = k7hlp::MedianSlopes(image.data(), w, h, 50, avx2, sample);
          EXPECT_TRUE(Same(got.alongX, sx)) << got.alongX << " instead of " << sx;
          EXPECT_TRUE(Same(got.alongY, sy)) << got.alongY << " instead of " << sy;
        }
      }
    }
  }
}

// Both kernels against one slope at a time, on rows that are not a whole
// number of vectors; a small block must not be written past its slack.
TEST(OptimisedEquivalenceTest, SlopeTallyKernelsCountAndKeepLikeTheScalarTally) {
  const size_t w = 77, h = 61, baseline = 50;  // 27 slopes a row: three vectors and a tail
  const std::vector<float> image = RandomImage(w * h, 11, 3.0f, 0.1f);
  const k7hlp::SlopeGrid grid{image.data(), w, w - baseline, h - baseline, baseline};
  k7hlp::DirectionTally expectedX, expectedY;
  expectedX.kind = k7hlp::DirectionTally::Kind::kRange;
  expectedX.range.lo = -1.0f;
  expectedX.range.mid = 0.0f;
  expectedX.range.hi = 2.5f;
  expectedY.kind = k7hlp::DirectionTally::Kind::kPoint;
  expectedY.point.at = 0.0f;
  std::vector<float> expectedKept(grid.across * grid.down);
  expectedX.range.inside = expectedKept.data();
  expectedX.range.capacity = expectedKept.size();
  for (size_t y = 0; y < grid.down; ++y) {
    k7hlp::TallyRowTail(image.data() + w * y, 0, grid.across, baseline, expectedX.range);
    k7hlp::TallyRowTail(image.data() + w * y, 0, grid.across, w * baseline, expectedY.point);
  }
  expectedKept.resize(expectedX.range.count);
  std::sort(expectedKept.begin(), expectedKept.end());
  ASSERT_GT(expectedKept.size(), 100u);

  for (bool avx2 : {false, k7hlp::HasAvx2()}) {
    for (size_t capacity : {expectedKept.size(), size_t{5}}) {
      SCOPED_TRACE(testing::Message() << "avx2 " << avx2 << " capacity " << capacity);
      std::vector<float> block(capacity + k7hlp::kKeepSlack + 1, -7.0f);
      k7hlp::DirectionTally x, y;
      x.kind = expectedX.kind;
      x.range.lo = -1.0f;
      x.range.mid = 0.0f;
      x.range.hi = 2.5f;
      x.range.inside = block.data();
      x.range.capacity = capacity;
      y.kind = expectedY.kind;
      (avx2 ? k7hlp::TallySlopesAvx2 : k7hlp::TallySlopes)(grid, x, y);
      EXPECT_EQ(x.range.atMostLo, expectedX.range.atMostLo);
      EXPECT_EQ(x.range.belowMid, expectedX.range.belowMid);
      EXPECT_EQ(x.range.equalMid, expectedX.range.equalMid);
      EXPECT_EQ(x.range.count, expectedX.range.count);
      EXPECT_EQ(y.point.below, expectedY.point.below);
      EXPECT_EQ(y.point.atMost, expectedY.point.atMost);
      EXPECT_EQ(block.back(), -7.0f) << "written past the slack";
      if (capacity >= expectedKept.size()) {
        std::vector<float> kept(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(x.range.count));
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(kept, expectedKept);
      }
    }
  }
}

TEST(OptimisedEquivalenceTest, TiltRemovalKernelsAddTheColumnTermFirst) {
  const size_t w = 37, h = 5;  // rows of four vectors and a tail
  const std::vector<float> image = RandomImage(w * h, 3, 1e4f, 0.05f);
  const float mx = 0.1f, my = -3.3f;
  std::vector<float> expected(w * h), got(w * h);
  for (size_t i = 0; i < w * h; ++i) expected[i] = image[i] + mx * float(i % w) + my * float(i / w);
  for (bool avx2 : {false, k7hlp::HasAvx2()}) {
    k7hlp::RemoveTilt(image.data(), got.data(), w, h, mx, my, avx2);
    EXPECT_TRUE(SameImage(got, expected)) << "avx2 " << avx2;
  }
}

TEST(OptimisedEquivalenceTest, CrossInsertionEqualsThePixelByPixelMap) {
  for (auto [w, h] : std::vector<std::pair<uint32_t, uint32_t>>{{2, 2}, {3, 5}, {7, 4}, {281, 2}, {280, 292}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    const std::vector<float> image = RandomImage(size_t{w} * h, w + h, 100.0f, 0.05f);
    Record in, out;
    MakeSurface(in, w, h, image, 5);
    ASSERT_EQ(K7Hlp_interpolateCross(in.get(), out.get(), 0), 0);
    EXPECT_TRUE(SameImage(out.floats(), ReferenceCross(image, w, h)));
  }
}

TEST(OptimisedEquivalenceTest, CounterScalingEqualsFloorAndCeilInterpolationBitForBit) {
  Record in, out;
  const uint32_t w = 67, h = 13;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> frame(0.0f, 299.0f);
  std::vector<float> surface(w * h);
  for (size_t i = 0; i < surface.size(); ++i) surface[i] = i % 5 == 0 ? std::round(frame(rng)) : frame(rng);
  surface[0] = 0.0f;
  surface[1] = 299.0f;
  MakeSurface(in, w, h, surface);
  uint8_t* header = static_cast<uint8_t*>(in->header);
  const uint16_t frames = 300;
  std::memcpy(header + 2040, &frames, 2);
  for (uint16_t i = 0; i < frames; ++i) {
    const uint16_t count = static_cast<uint16_t>(64000 + 37 * i);  // wraps through 65535
    std::memcpy(header + 32 + 2 * i, &count, 2);
  }
  uint32_t scale = 3000;
  testing::internal::CaptureStdout();
  ASSERT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleCounter, &scale), 0);
  testing::internal::GetCapturedStdout();
  std::vector<float> table(frames);
  std::memcpy(table.data(), static_cast<const uint8_t*>(out->header) + 2048, frames * sizeof(float));
  const std::vector<float> expected = ReferenceCounterPositions(surface, table);
  const std::vector<float> got = out.floats();
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(float)), 0);
}

TEST(OptimisedEquivalenceTest, TableScalingEqualsTheBinarySearchForOrderedAndUnorderedTables) {
  const uint32_t w = 41, h = 23;
  std::vector<float> surface = RandomImage(size_t{w} * h, 9, 150.0f, 0.0f);
  for (float& v : surface) v += 150.0f;  // mostly inside the table, some beyond either end
  surface[3] = kNaN;
  surface[4] = kInf;
  surface[5] = -kInf;
  surface[6] = 0.0f;
  std::vector<std::vector<k7hlp::zTagItem>> tables(3);
  for (int i = 0; i < 400; ++i) tables[0].push_back({i * 0.7f, -(i * 0.5f + (i % 3) * 0.01f)});
  tables[1] = tables[0];
  std::swap(tables[1][17], tables[1][18]);  // not ordered: the binary search decides
  tables[2] = tables[0];
  tables[2][200].x = tables[2][199].x;  // a segment without width
  for (size_t t = 0; t < tables.size(); ++t) {
    SCOPED_TRACE(testing::Message() << "table " << t);
    zTagHdl handle;
    for (const auto& item : tables[t]) {
      char line[64];
      std::snprintf(line, sizeof line, "%.9g %.9g", item.x, -item.z);
      handle.table.ParseLine(line);
    }
    Record in, out;
    MakeSurface(in, w, h, surface);
    in.setFrmDur(91000);
    std::vector<float> expected;
    const int status = ReferenceTableScaling(surface, handle.table.Items(), 91000.0f, &expected);
    testing::internal::CaptureStdout();
    EXPECT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleZTagHandle, &handle), status);
    testing::internal::GetCapturedStdout();
    if (status == 0) {
      EXPECT_TRUE(SameImage(out.floats(), expected));
    }
  }
}

namespace {

// One window pixel as the arithmetic was first written: a float stack per
// component, comparisons with pi and pi / 2 made in double.
struct WindowReference {
  const std::vector<uint16_t>& words;
  size_t pixels;
  uint32_t frames;

  float Word(uint32_t component, uint32_t frame, size_t i, float scale) const {
    return static_cast<float>(words[pixels * (size_t{frames} * component + frame) + i]) * scale;
  }
  static float Fold(float v) {
    if (static_cast<double>(v) > 3.141592653589793) v = 6.2831855f - v;
    if (static_cast<double>(v) < -3.141592653589793) v = -6.2831855f - v;
    return v;
  }
  float Threshold(size_t i, float t) const {
    int c = -1;
    for (uint32_t f = 0; f < frames; ++f)
      if (Word(1, f, i, 1.0f / 16) > t) c = static_cast<int>(f);
    const int last = static_cast<int>(frames) - 1, middle = static_cast<int>((frames - 1) / 2);
    if (c == last) return static_cast<float>(last);
    if (c < 0) return 0.0f;
    const float ac = Word(1, c, i, 1.0f / 16), an = Word(1, c + 1, i, 1.0f / 16);
    return static_cast<float>(c - middle) + (t - ac) / (an - ac);
  }
  // False for a pixel without energy.
  bool Centroid(size_t i, float* position) const {
    float weighted = 0.0f, energy = 0.0f;
    for (uint32_t k = 0; k < frames; ++k) {
      const float a = Word(1, k, i, 1.0f / 16), a2 = a * a;
      weighted += static_cast<float>(static_cast<int>(k) - static_cast<int>((frames - 1) / 2)) * a2;
      energy += a2;
    }
    *position = weighted / energy;
    return energy != 0.0f;
  }
  float Correction(size_t i, float position, double divisor) const {
    const uint32_t m = (frames - 1) / 2;
    const float before = Word(2, m - 1, i, 1.0f / 8192), mid = Word(2, m, i, 1.0f / 8192),
                after = Word(2, m + 1, i, 1.0f / 8192);
    const float slope = Fold(position > 0.0f ? after - mid : mid - before);
    const float w = std::fabs(Fold(mid - 3.1415927f + slope * position));
    const double r = static_cast<double>(w) / 1.5707963267948966;
    return static_cast<float>(static_cast<double>(w) < 1.5707963267948966 ? r * 0.25 / divisor
                                                                           : (2.0 - r) * 0.25 / divisor);
  }
  // The surface image, or an empty one when a centroid meets a pixel without energy.
  std::vector<float> Surface(k7hlp::SubFrameMethod method, float t, double divisor) const {
    std::vector<float> out(pixels);
    for (size_t i = 0; i < pixels; ++i) {
      float position = 0.0f;
      if (method == k7hlp::SubFrameMethod::kThreshold)
        position = Threshold(i, t);
      else if (!Centroid(i, &position))
        return {};
      out[i] = Word(0, (frames - 1) / 2, i, 1.0f / 32) + position;
      if (method == k7hlp::SubFrameMethod::kCentroidPhase) out[i] = out[i] + Correction(i, position, divisor);
    }
    return out;
  }
};

// Window words W x H x F x 3: amplitudes around the threshold 30 (word 480)
// with zero and saturated samples, pixels below the threshold in every frame or
// above it up to the last frame, phases over the whole word range.
std::vector<uint16_t> RandomWindow(size_t pixels, uint32_t frames, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint16_t> words(pixels * frames * 3);
  for (size_t i = 0; i < pixels * frames; ++i) {
    words[i] = static_cast<uint16_t>(rng());
    words[2 * pixels * frames + i] = static_cast<uint16_t>(rng());
  }
  uint16_t* amplitude = words.data() + pixels * frames;
  for (size_t i = 0; i < pixels; ++i) {
    const uint32_t kind = rng() % 8;
    for (uint32_t f = 0; f < frames; ++f) {
      uint16_t& a = amplitude[pixels * f + i];
      a = static_cast<uint16_t>(rng() % 1000);
      if (kind == 0) a = static_cast<uint16_t>(a % 480);  // never above the threshold
      if (kind == 1 && f + 1 == frames) a = 65535;       // saturated, above it in the last frame
      if (kind == 2) a = f % 2 ? static_cast<uint16_t>(a | 1) : 0;  // zero in every other frame
    }
  }
  return words;
}

}  // namespace

TEST(OptimisedEquivalenceTest, WindowExtractionEqualsThePixelByPixelArithmeticWithEitherKernel) {
  using k7hlp::SubFrameMethod;
  struct Shape {
    uint32_t w, h, frames;
  };
  const Shape shapes[] = {{1, 1, 3}, {7, 3, 3}, {257, 1, 4}, {97, 31, 5}, {33, 5, 64}, {280, 292, 5}};
  const bool kernels[] = {false, k7hlp::HasAvx2()};
  for (const Shape& s : shapes) {
    const size_t pixels = size_t{s.w} * s.h;
    const std::vector<uint16_t> words = RandomWindow(pixels, s.frames, s.w * 31 + s.frames);
    const k7hlp::WindowStack stack{words.data(), pixels, s.frames};
    const WindowReference reference{words, pixels, s.frames};
    for (SubFrameMethod method :
         {SubFrameMethod::kThreshold, SubFrameMethod::kCentroid, SubFrameMethod::kCentroidPhase}) {
      const k7hlp::SubFrameSettings settings{method, 30.0f, 5.0};
      const std::vector<float> expected = reference.Surface(method, 30.0f, 5.0);
      ASSERT_EQ(expected.size(), pixels) << "every pixel of the random stack has energy";
      for (bool avx2 : kernels) {
        SCOPED_TRACE(testing::Message() << s.w << " x " << s.h << " x " << s.frames << " method "
                                        << static_cast<int>(method) << " avx2 " << avx2);
        std::vector<float> got(pixels);
        ASSERT_EQ(k7hlp::WindowSurface(stack, settings, avx2, got.data()), 0);
        EXPECT_EQ(std::memcmp(got.data(), expected.data(), pixels * sizeof(float)), 0)
            << SameImage(got, expected).message();
      }
    }
    // The last pixel, in the last and partial block, without energy.
    std::vector<uint16_t> dark = words;
    for (uint32_t f = 0; f < s.frames; ++f) dark[pixels * (s.frames + f) + pixels - 1] = 0;
    for (bool avx2 : kernels) {
      std::vector<float> got(pixels);
      EXPECT_EQ(k7hlp::WindowSurface({dark.data(), pixels, s.frames}, {SubFrameMethod::kCentroid, 0.0f, 1.0}, avx2,
                                     got.data()),
                k7hlp::kZeroEnergy);
    }
  }
}

// Both counter kernels against the floor and ceil interpolation, at sizes
// around the vector widths, for a rising and a falling table; one value
// outside, wherever it sits, fails the call.
TEST(OptimisedEquivalenceTest, CounterKernelsInterpolateAndRejectOutsideValuesAtEveryPlace) {
  const uint32_t frames = 300;
  const float last = frames - 1;
  const float outside[] = {kNaN, kInf, -kInf, -0.5f, -1e-30f, std::nextafter(last, kInf), 1e30f};
  for (float direction : {1.0f, -1.0f}) {
    std::vector<float> centres(frames);
    for (uint32_t h = 0; h < frames; ++h) centres[h] = direction * (21625.5f + 37.0f * h + (h % 7) * 1.25f);
    std::vector<k7hlp::CounterEntry> table(frames);
    for (uint32_t h = 0; h < frames; ++h) table[h] = {h ? centres[h] - centres[h - 1] : 0.0f, centres[h]};
    for (size_t n : {1, 3, 4, 7, 8, 9, 13, 17, 31, 1001}) {
      std::mt19937 rng(static_cast<uint32_t>(n));
      std::uniform_real_distribution<float> frame(0.0f, last);
      std::vector<float> surface(n);
      for (size_t i = 0; i < n; ++i) surface[i] = i % 3 == 0 ? std::round(frame(rng)) : frame(rng);
      surface[0] = n > 1 ? last : -0.0f;
      surface[n / 2] = 0.0f;
      const std::vector<float> expected = ReferenceCounterPositions(surface, centres);
      for (k7hlp::ScalingKernel kernel : ScalingKernels()) {
        SCOPED_TRACE(testing::Message() << "direction " << direction << " n " << n << " kernel " << int(kernel));
        std::vector<float> got(n);
        ASSERT_TRUE(k7hlp::PositionsFromCounter(surface.data(), n, table.data(), frames, got.data(), kernel));
        EXPECT_EQ(std::memcmp(got.data(), expected.data(), n * sizeof(float)), 0);
        for (size_t at : {size_t{0}, n / 2, n - n / 200 - 1, n - 1}) {
          for (float bad : outside) {
            std::vector<float> wrong = surface;
            wrong[at] = bad;
            EXPECT_FALSE(k7hlp::PositionsFromCounter(wrong.data(), n, table.data(), frames, got.data(), kernel))
                << bad << " at " << at;
          }
        }
      }
    }
  }
}

namespace {

// The grid of the table (x in frames, as the library converts it), and when it
// takes the table, the image of every grid kernel this processor runs.
bool GridTakes(std::vector<k7hlp::zTagItem> t, float frmDur, const std::vector<float>& surface,
               std::vector<std::vector<float>>* images) {
  for (auto& item : t) item.x = item.x / (frmDur / 70000);
  std::vector<float> slopes(t.size());
  for (size_t k = 1; k < t.size(); ++k) slopes[k] = (t[k].z - t[k - 1].z) / (t[k].x - t[k - 1].x);
  const k7hlp::TableGrid grid(t, slopes, k7hlp::ScalingKernel::kPortable);  // the layouts of every kernel
  if (!grid.Ready()) return false;
  images->clear();
  for (k7hlp::ScalingKernel kernel : ScalingKernels()) {
    images->emplace_back(surface.size());
    k7hlp::PositionsFromGrid(surface.data(), surface.size(), grid.Lookup(), images->back().data(), kernel);
  }
  return true;
}

// Every table point (in frames), its neighbouring floats, both ends and
// beyond, NaN and infinities, and random values over the whole range.
std::vector<float> ValuesAroundThePoints(const std::vector<k7hlp::zTagItem>& t, float frmDur, size_t count) {
  std::vector<float> v;
  for (const auto& item : t) {
    const float x = item.x / (frmDur / 70000);
    v.insert(v.end(), {x, std::nextafter(x, -kInf), std::nextafter(x, kInf)});
  }
  v.insert(v.end(), {kNaN, kInf, -kInf, -1e30f, 1e30f, 0.0f, -0.0f});
  std::mt19937 rng(static_cast<uint32_t>(count));
  const float lo = t.front().x / (frmDur / 70000), hi = t.back().x / (frmDur / 70000);
  std::uniform_real_distribution<float> value(std::min(lo, hi) - 20.0f, std::max(lo, hi) + 20.0f);
  while (v.size() < count) v.push_back(value(rng));
  std::shuffle(v.begin(), v.end(), rng);
  v.resize(count);
  return v;
}

}  // namespace

// Table scaling through the grid (strictly increasing tables, even and
// uneven spacing; both kernels) and through the search (falling x, points
// closer than any grid of bounded size resolves) against the binary search,
// on values on and next to every table point, into one output record whose
// size changes.
TEST(OptimisedEquivalenceTest, TableScalingOnAndBesideEveryPointEqualsTheBinarySearch) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> gap(0.05f, 3.0f), height(-50.0f, 50.0f);
  std::vector<std::vector<k7hlp::zTagItem>> tables(4);
  for (int i = 0; i < 400; ++i) tables[0].push_back({static_cast<float>(i), -(i * 0.5f + (i % 3) * 0.01f)});
  float x = -7.3f;
  for (int i = 0; i < 150; ++i) tables[1].push_back({x += gap(rng), height(rng)});
  for (int i = 0; i < 50; ++i) tables[2].push_back({(50 - i) * 0.7f, i * 1.5f});
  tables[3] = tables[1];
  tables[3][70].x = std::nextafter(tables[3][69].x, kInf);
  const bool gridTakes[] = {true, true, false, false};
  Record out;
  for (size_t t = 0; t < tables.size(); ++t) {
    for (auto [w, h] : std::vector<std::pair<uint32_t, uint32_t>>{{1, 1}, {3, 1}, {5, 3}, {41, 23}, {41, 23}, {280, 292}}) {
      SCOPED_TRACE(testing::Message() << "table " << t << ", " << w << " x " << h);
      zTagHdl handle;
      for (const auto& item : tables[t]) {
        char line[64];
        std::snprintf(line, sizeof line, "%.9g %.9g", item.x, -item.z);
        handle.table.ParseLine(line);
      }
      const std::vector<float> surface = ValuesAroundThePoints(handle.table.Items(), 91000.0f, size_t{w} * h);
      std::vector<std::vector<float>> kernelImages;
      ASSERT_EQ(GridTakes(handle.table.Items(), 91000.0f, surface, &kernelImages), gridTakes[t]);
      Record in;
      MakeSurface(in, w, h, surface);
      in.setFrmDur(91000);
      std::vector<float> expected;
      ASSERT_EQ(ReferenceTableScaling(surface, handle.table.Items(), 91000.0f, &expected), 0);
      const void* previous = out->dataSize == surface.size() * sizeof(float) ? out->data : nullptr;
      testing::internal::CaptureStdout();
      ASSERT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleZTagHandle, &handle), 0);
      testing::internal::GetCapturedStdout();
      EXPECT_TRUE(SameImage(out.floats(), expected));
      if (previous) {
        EXPECT_EQ(out->data, previous) << "a block of the right size is written in place";
      }
      for (size_t kernel = 0; kernel < kernelImages.size(); ++kernel) {
        EXPECT_TRUE(SameImage(kernelImages[kernel], expected)) << "kernel " << kernel;
      }
    }
  }
}

namespace {

// Rows that rise or fall by `perPixel` from `start`, each row starting over
// (so vectors cross row ends), with a step in the middle row and a few NaN
// and infinities.
std::vector<float> SmoothRows(size_t w, size_t h, float start, float perPixel) {
  std::vector<float> v(w * h);
  for (size_t y = 0; y < h; ++y)
    for (size_t x = 0; x < w; ++x)
      v[x + w * y] = start + perPixel * static_cast<float>(x) + 0.01f * static_cast<float>((x * 7 + y) % 5) +
                     (y == h / 2 && x > w / 3 ? 9.5f : 0.0f);
  for (size_t at : {size_t{17}, w + 40, w * h - 3}) v[at] = at % 2 ? kNaN : kInf;
  v[2 * w + 1] = -kInf;
  return v;
}

}  // namespace

// Smooth surfaces keep the table indices of a vector close together, which the
// wide kernels look up from registers; row ends, steps, steep rows and stray
// NaN and infinities take their other paths. Every kernel against the binary
// search and the floor and ceil interpolation, for tables of 3 to 512 points.
TEST(OptimisedEquivalenceTest, ScalingKernelsFollowSmoothSurfacesAcrossRowEndsAndSteps) {
  const size_t w = 283, h = 7;
  const float perPixel[] = {0.004f, 0.25f, -0.3f, 3.0f};
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> gap(0.2f, 1.8f);
  std::vector<std::vector<k7hlp::zTagItem>> tables(4);
  tables[0] = {{0.0f, 1.0f}, {2.5f, -3.0f}, {4.0f, 7.0f}};
  for (int i = 0; i < 400; ++i) tables[1].push_back({static_cast<float>(i), i * 0.5f + (i % 3) * 0.01f});
  for (auto* t : {&tables[2], &tables[3]}) {
    float x = -20.0f;
    for (size_t i = 0; i < (t == &tables[2] ? 150u : 512u); ++i) t->push_back({x += gap(rng), std::sin(x) * 40.0f});
  }
  for (size_t t = 0; t < tables.size(); ++t) {
    const float lo = tables[t].front().x, hi = tables[t].back().x;
    for (float step : perPixel) {
      SCOPED_TRACE(testing::Message() << "table " << t << " per pixel " << step);
      const std::vector<float> surface = SmoothRows(w, h, step > 0 ? lo - 2.0f : hi + 2.0f, step * (hi - lo) / 100);
      std::vector<float> expected;
      ASSERT_EQ(ReferenceTableScaling(surface, tables[t], 70000.0f, &expected), 0);
      std::vector<std::vector<float>> images;
      ASSERT_TRUE(GridTakes(tables[t], 70000.0f, surface, &images));
      for (size_t kernel = 0; kernel < images.size(); ++kernel)
        EXPECT_TRUE(SameImage(images[kernel], expected)) << "kernel " << kernel;
    }
  }
  for (uint32_t frames : {5u, 300u}) {
    std::vector<float> centres(frames);
    for (uint32_t k = 0; k < frames; ++k) centres[k] = 1000.5f + 37.0f * k + (k % 7) * 1.25f;
    std::vector<k7hlp::CounterEntry> table(frames);
    for (uint32_t k = 0; k < frames; ++k) table[k] = {k ? centres[k] - centres[k - 1] : 0.0f, centres[k]};
    for (float step : perPixel) {
      SCOPED_TRACE(testing::Message() << frames << " frames, per pixel " << step);
      std::vector<float> surface = SmoothRows(w, h, 0.0f, step * frames / 100);
      const float last = static_cast<float>(frames - 1);
      for (float& v : surface) v = std::isfinite(v) ? std::min(std::fmod(std::fabs(v), last + 0.5f), last) : last;
      const std::vector<float> expected = ReferenceCounterPositions(surface, centres);
      for (k7hlp::ScalingKernel kernel : ScalingKernels()) {
        std::vector<float> got(surface.size());
        ASSERT_TRUE(k7hlp::PositionsFromCounter(surface.data(), got.size(), table.data(), frames, got.data(), kernel));
        EXPECT_TRUE(SameImage(got, expected)) << "kernel " << int(kernel);
      }
    }
  }
}
