#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "K7Hlp.h"
#include "TestRecords.h"

using k7hlp_test::MakeA16Z16;
using k7hlp_test::MakeWindow;
using k7hlp_test::Record;

namespace {

const auto kThreshold = K7Hlp_extractThreshold;
const auto kCentroid = K7Hlp_extractCentroid;
const auto kPhase = K7Hlp_extractCentroidPhase;

// Amplitude words of a profile in amplitude units (word = 16 * value).
std::vector<uint16_t> Amplitudes(std::initializer_list<int> values) {
  std::vector<uint16_t> words;
  for (int v : values) words.push_back(static_cast<uint16_t>(16 * v));
  return words;
}

// Five frames whose middle coarse surface is 10.0 (word 320), phase pi in every frame.
void MakeFiveFrames(Record& r, std::initializer_list<int> amplitude) {
  MakeWindow(r, 3, 2, {0, 0, 320, 0, 0}, Amplitudes(amplitude), std::vector<uint16_t>(5, 25736));
}

void ExpectEveryPixel(const Record& r, float value) {
  for (float f : r.floats()) EXPECT_FLOAT_EQ(f, value);
}

}  // namespace

TEST(ExtractSurfaceTest, InputChecksInOrder) {
  Record in, out;
  float t = 1.0f;
  EXPECT_EQ(K7Hlp_extractSurface(nullptr, kThreshold, &t, out.get()), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: dataIn unsupported");
  k7hlp_test::MakeSurface(in, 2, 2, {0, 0, 0, 0});
  EXPECT_EQ(K7Hlp_extractSurface(in.get(), kThreshold, &t, out.get()), -3) << "float data is not raw";

  Record raw;
  MakeA16Z16(raw, 4, 1, 1, {1}, {1});
  void* samples = raw->data;
  raw->data = nullptr;
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, out.get()), -1);
  raw->data = samples;
  raw->headerType = 2;
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, out.get()), -3);
  raw->headerType = 1;
  void* header = raw->header;
  raw->header = nullptr;
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, out.get()), -1);
  raw->header = header;
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: dataIn unsupported");

  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, nullptr), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: extractedSurface not defined");
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, raw.get()), -2) << "output is the input";

  raw.setParam("CamMode", -1);
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, out.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: CamMode not found in data structure");
  raw.setParam("CamMode", 6);
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, out.get()), -4);
  EXPECT_STREQ(K7Hlp_getLastError(),
               "K7Hlp_extractSurface:: CamMode currently not supported by K7Hlp library. Only CamMode 4, 5 and 7 are "
               "supported");
}

TEST(ExtractSurfaceTest, A16Z16WordsAreScaledAndTheModeIsNotLookedAt) {
  Record raw, surface, amplitude, phase;
  MakeA16Z16(raw, 4, 2, 1, {320, 32}, {160, 8});
  static_cast<uint8_t*>(raw->header)[100] = 0xAB;
  raw.setParam("SensTqp", 17);
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), static_cast<_K7Hlp_extractMode>(3), nullptr, surface.get(),
                                 amplitude.get(), phase.get()),
            0);
  EXPECT_EQ(surface.floats(), (std::vector<float>{10.0f, 1.0f}));
  EXPECT_EQ(amplitude.floats(), (std::vector<float>{10.0f, 0.5f}));
  EXPECT_EQ(surface->unit, 2);
  EXPECT_EQ(amplitude->unit, 5);
  EXPECT_EQ(surface->dim[0], 2u);
  EXPECT_EQ(surface->dim[2], 0u);
  EXPECT_EQ(surface->dataSize, 8u);
  EXPECT_EQ(surface->headerType, 1);
  ASSERT_EQ(surface->headerSize, 2048u);
  EXPECT_EQ(static_cast<uint8_t*>(surface->header)[100], 0xAB);
  EXPECT_EQ(surface->param[3].value, 17);
  EXPECT_EQ(phase->dataType, 0) << "CamMode 4/7 has no phase image";
}

TEST(ExtractSurfaceTest, A16Z16WithoutAnAmplitudePlaneFails) {
  Record raw, surface, amplitude;
  MakeA16Z16(raw, 7, 1, 1, {32}, {16});
  raw->dim[2] = 1;
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get()), 0);
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get(), amplitude.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: amplitude extraction failed");
  raw->dim[0] = 1000;  // the layout no longer fits the samples
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: surface extraction failed");
  EXPECT_EQ(surface->dataType, 0);
}

TEST(ExtractSurfaceTest, ThresholdCrossingBetweenFrames) {
  Record raw, surface;
  MakeFiveFrames(raw, {1, 5, 9, 5, 1});
  float t = 3.0f;
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, surface.get()), 0);
  ExpectEveryPixel(surface, 11.5f);  // 10 + (3 - 2) + (3 - 5) / (1 - 5)

  MakeFiveFrames(raw, {1, 5, 9, 5, 4});
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, surface.get()), 0);
  // Still above at the last frame: its index, not relative to the middle.
  ExpectEveryPixel(surface, 14.0f);

  MakeFiveFrames(raw, {1, 2, 3, 2, 1});
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, surface.get()), 0);
  ExpectEveryPixel(surface, 10.0f);
}

TEST(ExtractSurfaceTest, ThresholdMustBeAboveZero) {
  Record raw, surface;
  MakeFiveFrames(raw, {1, 5, 9, 5, 1});
  for (float t : {0.0f, -1.0f, std::nanf("")}) {
    EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, &t, surface.get()), -1);
    EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: threshold value not supported");
  }
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kThreshold, nullptr, surface.get()), -2);
}

TEST(ExtractSurfaceTest, CentroidOfSymmetricAndSkewedProfiles) {
  Record raw, surface;
  MakeFiveFrames(raw, {1, 5, 9, 5, 1});
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get()), 0);
  ExpectEveryPixel(surface, 10.0f);
  MakeFiveFrames(raw, {0, 0, 1, 1, 0});
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get()), 0);
  ExpectEveryPixel(surface, 10.5f);
}

TEST(ExtractSurfaceTest, ZeroAmplitudeEnergyLeavesTheSurfaceEmpty) {
  Record raw, surface;
  MakeFiveFrames(raw, {0, 0, 0, 0, 0});
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: sub-frame calculation failed");
  EXPECT_EQ(surface->dataType, 0);
  EXPECT_EQ(surface->data, nullptr);
}

TEST(ExtractSurfaceTest, WindowModeRejectsUnknownModesAndShortStacks) {
  Record raw, surface;
  MakeFiveFrames(raw, {1, 5, 9, 5, 1});
  for (int mode : {3, -1}) {
    EXPECT_EQ(K7Hlp_extractSurface(raw.get(), static_cast<_K7Hlp_extractMode>(mode), nullptr, surface.get()), -4);
    EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: selected mode not supported in CamMode 5");
  }
  for (uint32_t frames : {1u, 2u}) {
    MakeWindow(raw, 2, 2, std::vector<uint16_t>(frames, 0), std::vector<uint16_t>(frames, 16),
               std::vector<uint16_t>(frames, 0));
    EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get()), -4);
    EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: CamMode 5 needs at least 3 frames");
  }
}

TEST(ExtractSurfaceTest, MissingComponentsAreReportedPerFill) {
  Record raw, surface;
  MakeFiveFrames(raw, {1, 5, 9, 5, 1});
  raw->dim[3] = 2;
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: phase extraction failed");
  raw->dim[3] = 1;
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: amplitude extraction failed");
  raw->dim[3] = 4;  // more than the samples hold
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: surface extraction failed");
}

TEST(ExtractSurfaceTest, PhaseCorrectionPeaksAtHalfPi) {
  Record raw, surface;
  // Phase pi / 2 in the middle frame gives the phase term -pi/2: the largest correction 0.25 / v.
  MakeWindow(raw, 1, 1, {0, 0, 320, 0, 0}, Amplitudes({1, 5, 9, 5, 1}), {12868, 12868, 12868, 12868, 12868});
  raw.setParam("SensNavM2", 0);
  raw.setParam("BSEnable", 0);
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), kPhase, nullptr, surface.get()), 0);
  EXPECT_NEAR(surface.at(0, 0), 10.125f, 1e-4);
  // Phase pi: no correction; a larger divisor scales the peak down.
  MakeFiveFrames(raw, {1, 5, 9, 5, 1});
  raw.setParam("SensNavM2", 0);
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), kPhase, nullptr, surface.get()), 0);
  EXPECT_NEAR(surface.at(0, 0), 10.0f, 1e-4);
  MakeWindow(raw, 1, 1, {0, 0, 320, 0, 0}, Amplitudes({1, 5, 9, 5, 1}), {12868, 12868, 12868, 12868, 12868});
  raw.setParam("SensNavM2", 1);
  raw.setParam("BSEnable", 1);
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), kPhase, nullptr, surface.get()), 0);
  EXPECT_NEAR(surface.at(0, 0), 10.05f, 1e-4);
}

TEST(ExtractSurfaceTest, PhaseCorrectionNeedsItsRegisters) {
  Record raw, surface;
  MakeFiveFrames(raw, {1, 5, 9, 5, 1});
  raw.setParam("BSEnable", -1);
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kPhase, nullptr, surface.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: SensNavM2 or BSEnable not found...");
  EXPECT_EQ(surface->dataType, 0);
  raw.setParam("BSEnable", 0);
  raw.setParam("SensNavM2", 2147483647);  // the divisor must not overflow
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kPhase, nullptr, surface.get()), 0);

  MakeFiveFrames(raw, {0, 0, 0, 0, 0});
  raw.setParam("BSEnable", -1);
  EXPECT_EQ(K7Hlp_extractSurface(raw.get(), kPhase, nullptr, surface.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_extractSurface:: sub-frame calculation failed")
      << "a pixel without energy is reported before a missing register";
}

TEST(ExtractSurfaceTest, AmplitudeAndPhaseImagesOfTheMiddleFrame) {
  Record raw, surface, amplitude, phase;
  MakeWindow(raw, 2, 1, {0, 0, 320, 0, 0}, Amplitudes({1, 5, 9, 5, 1}), {0, 0, 8192, 0, 0});
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get(), amplitude.get(), phase.get()), 0);
  EXPECT_EQ(amplitude.floats(), (std::vector<float>{9.0f, 9.0f}));
  EXPECT_EQ(phase.floats(), (std::vector<float>{1.0f, 1.0f}));
  EXPECT_EQ(amplitude->unit, 5);
  EXPECT_EQ(phase->unit, 6);

  Record alone;
  ASSERT_EQ(K7Hlp_extractSurface(raw.get(), kCentroid, nullptr, surface.get(), nullptr, alone.get()), 0);
  EXPECT_EQ(alone->dataType, 0) << "a phase image comes only with an amplitude image";
}
