// Flips, leveling and the centre cross.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "K7Hlp.h"
#include "Median.h"
#include "TestRecords.h"

using k7hlp_test::MakeSurface;
using k7hlp_test::Record;

namespace {

std::vector<float> Image(uint32_t w, uint32_t h, const std::function<float(uint32_t, uint32_t)>& value) {
  std::vector<float> v;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) v.push_back(value(x, y));
  return v;
}

}  // namespace

TEST(FlipTest, MirrorsAndTwiceRestores) {
  Record in, once, twice;
  MakeSurface(in, 3, 2, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(K7Hlp_flipX(in.get(), once.get()), 0);
  EXPECT_EQ(once.floats(), (std::vector<float>{3, 2, 1, 6, 5, 4}));
  EXPECT_EQ(once->unit, 2);
  EXPECT_EQ(once->headerSize, 2048u);
  ASSERT_EQ(K7Hlp_flipY(in.get(), once.get()), 0);
  EXPECT_EQ(once.floats(), (std::vector<float>{4, 5, 6, 1, 2, 3}));
  ASSERT_EQ(K7Hlp_flipY(once.get(), twice.get()), 0);
  EXPECT_EQ(twice.floats(), in.floats());
}

TEST(FlipTest, ChecksNameTheFunction) {
  Record in, out;
  MakeSurface(in, 2, 1, {1, 2});
  EXPECT_EQ(K7Hlp_flipX(nullptr, out.get()), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_flipX:: inputData or outputData structure not found");
  EXPECT_EQ(K7Hlp_flipY(in.get(), in.get()), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_flipY:: inputData or outputData structure not found");
  in->dim[2] = 1;
  EXPECT_EQ(K7Hlp_flipX(in.get(), out.get()), -4);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_flipX:: inputData has unsupported dimension...");
  in->dim[2] = 0;
  in->dim[0] = 3;  // more pixels than samples
  EXPECT_EQ(K7Hlp_flipY(in.get(), out.get()), -4);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_flipY:: inputData has unsupported dimension...");
  in->dim[0] = 2;
  void* samples = in->data;
  in->data = nullptr;
  EXPECT_EQ(K7Hlp_flipX(in.get(), out.get()), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_flipX:: inputData data not found");
  in->data = samples;

  Record raw;
  k7hlp_test::MakeA16Z16(raw, 4, 1, 1, {1}, {1});
  EXPECT_EQ(K7Hlp_flipY(raw.get(), out.get()), -4);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_flipY:: inputData has unsupported dataType...");
}

TEST(LevelingTest, APlaneBecomesItsOffset) {
  Record in, out;
  MakeSurface(in, 64, 57, Image(64, 57, [](uint32_t x, uint32_t y) { return 0.5f * x - 0.25f * y + 10.0f; }));
  ASSERT_EQ(K7Hlp_leveling(in.get(), out.get(), 0, nullptr), 0);
  for (float v : out.floats()) ASSERT_EQ(v, 10.0f);
  EXPECT_EQ(out->unit, 2);
}

TEST(LevelingTest, StepsAndOutliersDoNotTiltThePlane) {
  Record in, out;
  MakeSurface(in, 80, 60, Image(80, 60, [](uint32_t x, uint32_t y) {
                float v = 0.125f * x + 0.5f * y + 3.0f;
                if (x % 9 == 0 && y % 7 == 0) v += 1000.0f;  // spikes
                return v;
              }));
  ASSERT_EQ(K7Hlp_leveling(in.get(), out.get(), 0, nullptr), 0);
  EXPECT_EQ(out.at(1, 1), 3.0f);
  EXPECT_EQ(out.at(79, 59), 3.0f);
  EXPECT_EQ(out.at(0, 0), in.at(0, 0)) << "the origin pixel is the pivot";
}

TEST(LevelingTest, RejectsOtherModesAndImagesWithoutABaseline) {
  Record in, out;
  MakeSurface(in, 51, 51, std::vector<float>(51 * 51, 1.0f));
  EXPECT_EQ(K7Hlp_leveling(in.get(), out.get(), 1, nullptr), -4);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_leveling:: unsupported mode...");
  EXPECT_EQ(K7Hlp_leveling(in.get(), out.get(), 0, nullptr), 0) << "51 pixels give one pair";

  Record narrow;
  MakeSurface(narrow, 50, 80, std::vector<float>(50 * 80, 1.0f));
  EXPECT_EQ(K7Hlp_leveling(narrow.get(), out.get(), 0, nullptr), -4);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_leveling:: image must be wider and higher than 50 pixels...");
  EXPECT_EQ(out->dataType, 2) << "a rejected call leaves the output as it was";
  EXPECT_EQ(K7Hlp_leveling(nullptr, out.get(), 0, nullptr), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_leveling:: inputData or outputData structure not found");
}

TEST(MedianTest, SelectionGivesTheSortedMedian) {
  std::vector<float> odd = {5, 1, 4, 2, 3};
  EXPECT_EQ(k7hlp::Median(odd), 3.0f);
  std::vector<float> even = {8, 1, 7, 2};
  EXPECT_EQ(k7hlp::Median(even), 4.5f);
  std::vector<float> withNan = {std::nanf(""), 1, 2, std::nanf(""), 3};
  EXPECT_EQ(k7hlp::Median(withNan), 3.0f) << "NaN orders after every number";
}

TEST(CrossTest, FourByTwoWindowImageGetsAnInterpolatedCross) {
  Record in, out;
  MakeSurface(in, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8}, 5);
  ASSERT_EQ(K7Hlp_interpolateCross(in.get(), out.get(), 0), 0);
  ASSERT_EQ(out->dim[0], 5u);
  ASSERT_EQ(out->dim[1], 3u);
  EXPECT_EQ(out->dataSize, 60u);
  EXPECT_EQ(out.floats(), (std::vector<float>{1, 2, 2.5f, 3, 4,  //
                                              3, 4, 4.5f, 5, 6,  //
                                              5, 6, 6.5f, 7, 8}));
  EXPECT_EQ(out->unit, 2);
}

TEST(CrossTest, A16Z16ImagesAreCopiedAndDampingDividesTheCentreColumns) {
  Record in, out;
  MakeSurface(in, 5, 1, {13, 13, 13, 13, 13}, 4);
  ASSERT_EQ(K7Hlp_interpolateCross(in.get(), out.get(), 0), 0);
  EXPECT_EQ(out.floats(), in.floats());
  ASSERT_EQ(K7Hlp_interpolateCross(in.get(), out.get(), 1), 0);
  const float damped = static_cast<float>(13.0f / 1.3);
  EXPECT_EQ(out.floats(), (std::vector<float>{13, damped, damped, damped, 13}));

  Record window;
  MakeSurface(window, 4, 2, std::vector<float>(8, 13.0f), 5);
  ASSERT_EQ(K7Hlp_interpolateCross(window.get(), out.get(), 1), 0);
  EXPECT_EQ(out.at(0, 0), 13.0f);
  EXPECT_EQ(out.at(1, 1), damped);
  EXPECT_EQ(out.at(3, 2), damped);
  EXPECT_EQ(out.at(4, 2), 13.0f);
}

TEST(CrossTest, ChecksAndNarrowImages) {
  Record in, out;
  MakeSurface(in, 1, 3, {1, 2, 3}, 5);
  EXPECT_EQ(K7Hlp_interpolateCross(in.get(), out.get(), 0), -4) << "no neighbour for the inserted column";
  in.setParam("CamMode", 6);
  EXPECT_EQ(K7Hlp_interpolateCross(in.get(), out.get(), 0), -4);
  in.setParam("CamMode", -1);
  EXPECT_EQ(K7Hlp_interpolateCross(in.get(), out.get(), 0), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_interpolateCross:: CamMode not found in data structure");
  EXPECT_EQ(K7Hlp_interpolateCross(in.get(), nullptr, 0), -2);
  in.setParam("CamMode", 7);
  EXPECT_EQ(K7Hlp_interpolateCross(in.get(), out.get(), 1), 0) << "damping a one-column image stays inside it";
  EXPECT_EQ(out.floats(), (std::vector<float>{static_cast<float>(1 / 1.3), static_cast<float>(2 / 1.3),
                                              static_cast<float>(3 / 1.3)}));
}
