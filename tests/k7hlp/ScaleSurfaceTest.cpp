#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "K7Hlp.h"
#include "Scaling.h"
#include "TestRecords.h"

using k7hlp_test::MakeSurface;
using k7hlp_test::Record;

namespace {

std::vector<float> PositionTable(const Record& r, size_t n) {
  std::vector<float> t(n);
  std::memcpy(t.data(), static_cast<const uint8_t*>(r->header) + 2048, n * sizeof(float));
  return t;
}

// Runs counter scaling and returns its status; the console line goes to *printed.
int ScaleByCounter(Record& in, Record& out, uint32_t scale, std::string* printed = nullptr) {
  testing::internal::CaptureStdout();
  int status = K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleCounter, &scale);
  std::string text = testing::internal::GetCapturedStdout();
  if (printed) *printed = text;
  return status;
}

// Pairs (0, 0), (1, -10), (2, -30), (3, -60) after the negation of z.
zTagHdl* FourPairTable(std::string* path) {
  *path = k7hlp_test::ScratchPath("scale.ztag");
  std::ofstream(*path) << "0 0\n1 10\n2 30\n3 60\n";
  zTagHdl* handle = nullptr;
  K7Hlp_zTagFileLoad(&handle, path->data());
  return handle;
}

}  // namespace

TEST(CounterTest, DirectionAndUnwrap) {
  const uint16_t rising[] = {100, 200, 300, 400, 500};
  EXPECT_EQ(k7hlp::CountDirection(rising), 1);
  const uint16_t wrapping[] = {65000, 65500, 200, 700, 1200};
  EXPECT_EQ(k7hlp::CountDirection(wrapping), 1);
  float unwrapped[5];
  k7hlp::UnwrapCounter(wrapping, 5, 1, unwrapped);
  EXPECT_EQ(std::vector<float>(unwrapped, unwrapped + 5), (std::vector<float>{65000, 65500, 65736, 66236, 66736}));
  const uint16_t falling[] = {300, 100, 65400, 65200, 65000};
  EXPECT_EQ(k7hlp::CountDirection(falling), -1);
  k7hlp::UnwrapCounter(falling, 5, -1, unwrapped);
  EXPECT_EQ(std::vector<float>(unwrapped, unwrapped + 5), (std::vector<float>{300, 100, -136, -336, -536}));
}

TEST(CounterTest, FrameCentresAndInterpolatedSurface) {
  Record in, out;
  MakeSurface(in, 3, 1, {1.5f, 2.0f, 0.0f});
  in.setZTags({0, 10, 20, 30, 40});
  std::string printed;
  ASSERT_EQ(ScaleByCounter(in, out, 1000, &printed), 0);
  EXPECT_EQ(printed, "count direction: 1\n");
  EXPECT_EQ(out.floats(), (std::vector<float>{10, 15, -5}));
  EXPECT_EQ(out->unit, 4);
  EXPECT_EQ(out->headerType, 2);
  ASSERT_EQ(out->headerSize, 4096u);
  EXPECT_EQ(std::memcmp(out->header, in->header, 2048), 0);
  EXPECT_EQ(PositionTable(out, 5), (std::vector<float>{-5, 5, 15, 25, 35}));

  ASSERT_EQ(ScaleByCounter(in, out, 2999), 0) << "the scale is divided by 1000 as an integer";
  EXPECT_EQ(PositionTable(out, 5), (std::vector<float>{-2.5f, 2.5f, 7.5f, 12.5f, 17.5f}));
}

TEST(CounterTest, UndeterminedDirectionKeepsTheExtendedHeader) {
  Record in, out;
  MakeSurface(in, 1, 1, {1.0f});
  in.setZTags({7, 7, 7, 7, 7});
  std::string printed;
  EXPECT_EQ(ScaleByCounter(in, out, 1000, &printed), -22);
  EXPECT_EQ(printed, "");
  EXPECT_EQ(out->headerType, 2);
  EXPECT_EQ(out->headerSize, 4096u);
  EXPECT_EQ(out->dataType, 0);
}

TEST(CounterTest, RejectsWhatWouldReadOutsideTheTable) {
  Record in, out;
  MakeSurface(in, 1, 1, {4.0f});
  in.setZTags({0, 10, 20, 30});
  EXPECT_EQ(ScaleByCounter(in, out, 1000), -23);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_scaleSurface:: number of counter samples not supported...");
  in.setNFrames(513);
  EXPECT_EQ(ScaleByCounter(in, out, 1000), -23);
  in.setZTags({0, 10, 20, 30, 40});
  EXPECT_EQ(ScaleByCounter(in, out, 999), -24);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_scaleSurface:: count scale below 1000 not supported...");
  EXPECT_EQ(ScaleByCounter(in, out, 1000), 0) << "the last frame is inside";
  for (float outside : {4.001f, -0.5f, std::nanf(""), INFINITY}) {
    static_cast<float*>(in->data)[0] = outside;
    EXPECT_EQ(ScaleByCounter(in, out, 1000), -25);
    EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_scaleSurface:: surface value outside the counter table...");
    EXPECT_EQ(out->dataType, 0);
  }
}

TEST(TableScalingTest, InterpolatesAndExtrapolatesAlongTheSecondToLastSegment) {
  Record in, out;
  MakeSurface(in, 5, 1, {0.5f, 1.5f, 2.5f, 4.0f, -1.0f});
  in.setFrmDur(70000);
  std::string path;
  zTagHdl* table = FourPairTable(&path);
  testing::internal::CaptureStdout();
  ASSERT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleZTagHandle, table), 0);
  const std::string printed = testing::internal::GetCapturedStdout();
  float a, b, c;
  EXPECT_EQ(std::sscanf(printed.c_str(), "convert %f, meta %f, computing %f\n", &a, &b, &c), 3) << printed;
  // Beyond x = 3 the segment (1, -10)-(2, -30) continues, not (2, -30)-(3, -60).
  EXPECT_EQ(out.floats(), (std::vector<float>{-5, -20, -45, -70, 10}));
  EXPECT_EQ(out->unit, 4);

  in.setFrmDur(140000);  // twice the reference: table x in frames halves
  testing::internal::CaptureStdout();
  ASSERT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleZTagHandle, table), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.at(0, 0), -10.0f);
  K7Hlp_zTagFileUnload(table);
  std::remove(path.c_str());
}

TEST(TableScalingTest, FileModeLoadsAndReleasesTheTable) {
  Record in, out;
  MakeSurface(in, 1, 1, {1.5f});
  in.setFrmDur(70000);
  std::string path;
  K7Hlp_zTagFileUnload(FourPairTable(&path));
  testing::internal::CaptureStdout();
  ASSERT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleZTagFile, path.data()), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.at(0, 0), -20.0f);
  char missing[] = "/nonexistent/k7hlp.ztag";
  EXPECT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleZTagFile, missing), -14);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_scaleSurface:: zTag table needs at least 3 pairs...");
  std::remove(path.c_str());
}

TEST(TableScalingTest, CodesWithoutMessages) {
  Record in, out;
  MakeSurface(in, 1, 1, {1.5f});
  std::string path;
  zTagHdl* table = FourPairTable(&path);
  EXPECT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleZTagHandle, table), -12) << "frmDur 0";
  K7Hlp_zTagFileUnload(table);

  in.setFrmDur(70000);
  static_cast<float*>(in->data)[0] = -1.0f;  // below the table: the first segment, which has no width
  std::ofstream(path) << "1 0\n1 10\n2 30\n3 60\n";
  K7Hlp_zTagFileLoad(&table, path.data());
  EXPECT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleZTagHandle, table), -13);
  EXPECT_EQ(out->dataType, 0);
  K7Hlp_zTagFileUnload(table);
  std::remove(path.c_str());
}

TEST(ScaleSurfaceTest, ChecksModesAndUnits) {
  Record in, out;
  MakeSurface(in, 1, 1, {1.0f});
  uint32_t scale = 1000;
  EXPECT_EQ(K7Hlp_scaleSurface(in.get(), nullptr, K7Hlp_scaleCounter, &scale), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_scaleSurface:: frameSurface or scaledSurface not found");
  EXPECT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), static_cast<K7Hlp_scaleMode>(3), &scale), -4);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_scaleSurface:: This scallin is currently not implemented (1)... Sorry ");
  EXPECT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleCounter, nullptr), -2);
  in->unit = 3;
  EXPECT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleCounter, &scale), -4);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_scaleSurface:: This scallin is currently not implemented (2)... Sorry ");
  in->unit = 5;
  EXPECT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleCounter, &scale), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_scaleSurface:: input data unit not supported...");
  EXPECT_EQ(out->headerSize, 2048u) << "header and registers are copied before the unit is looked at";

  in->unit = 2;
  in->headerSize = 100;  // the header fields lie beyond
  EXPECT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleCounter, &scale), -4);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_scaleSurface:: frameSurface has unsupported header...");
  in->headerSize = 2048;
  void* header = in->header;
  in->header = nullptr;
  EXPECT_EQ(K7Hlp_scaleSurface(in.get(), out.get(), K7Hlp_scaleCounter, &scale), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_scaleSurface:: frameSurface header not found");
  in->header = header;
}
