#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "K7Hlp.h"
#include "LastError.h"
#include "TestRecords.h"

using k7hlp_test::Record;

namespace {

// Field by field: padding bytes are not part of a record's state.
bool SameFields(const K7Hlp_Data& a, const K7Hlp_Data& b) {
  bool same = a.dataType == b.dataType && a.dataSize == b.dataSize && a.data == b.data &&
              a.headerType == b.headerType && a.headerSize == b.headerSize && a.header == b.header &&
              a.unit == b.unit && std::memcmp(a.dim, b.dim, sizeof a.dim) == 0;
  for (int i = 0; i < 6; ++i) same = same && a.param[i].name == b.param[i].name && a.param[i].value == b.param[i].value;
  return same;
}

}  // namespace

TEST(RecordTest, VersionIsStoredLeastSignificantFirst) {
  unsigned short version[4] = {9, 9, 9, 9};
  EXPECT_EQ(K7Hlp_getVersion(version), 0);
  EXPECT_EQ(version[0], 37);
  EXPECT_EQ(version[1], 5);
  EXPECT_EQ(version[2], 0);
  EXPECT_EQ(version[3], 0);
  EXPECT_EQ(K7Hlp_getVersion(nullptr), -1);
}

TEST(RecordTest, AllocNamesTheSixRegistersAndFreeOfAFreshRecordChangesNothing) {
  K7Hlp_Data data{};
  ASSERT_EQ(K7Hlp_alloc(&data), 0);
  const char* names[] = {"CamMode", "SensNFrames", "SensNavM2", "SensTqp", "SensDeltaExp", "BSEnable"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_STREQ(data.param[i].name, names[i]);
    EXPECT_EQ(data.param[i].value, 0);
  }
  K7Hlp_Data before = data;
  EXPECT_EQ(K7Hlp_free(&data), 0);
  EXPECT_TRUE(SameFields(before, data));
}

TEST(RecordTest, MissingRecordsAreReported) {
  EXPECT_EQ(K7Hlp_alloc(nullptr), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_alloc:: data not found");
  EXPECT_EQ(K7Hlp_free(nullptr), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_free:: data not found");
}

TEST(RecordTest, UnknownDataTypeLeavesTheRecordUntouched) {
  K7Hlp_Data data{};
  K7Hlp_alloc(&data);
  data.dataType = 9;
  data.dataSize = 12;
  data.dim[0] = 3;
  K7Hlp_Data before = data;
  EXPECT_EQ(K7Hlp_free(&data), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_free:: unknown data type...");
  EXPECT_TRUE(SameFields(before, data));
}

TEST(RecordTest, UnknownHeaderTypeFailsAfterTheSamplesAreReleased) {
  Record r;
  k7hlp_test::MakeSurface(r, 2, 2, {1, 2, 3, 4});
  r->unit = 4;
  const int32_t headerType = r->headerType;
  r->headerType = 7;
  EXPECT_EQ(K7Hlp_free(r.get()), -1);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_free:: unknown header data type...");
  EXPECT_EQ(r->dataType, 0);
  EXPECT_EQ(r->data, nullptr);
  EXPECT_EQ(r->dim[0], 0u);
  EXPECT_EQ(r->unit, 4) << "the header part and the registers stay as they were";
  r->headerType = headerType;  // lets the fixture release the header
}

TEST(RecordTest, LastErrorSurvivesSuccessAndIsCutTo127Characters) {
  K7Hlp_free(nullptr);
  K7Hlp_Data data{};
  EXPECT_EQ(K7Hlp_alloc(&data), 0);
  unsigned short version[4];
  K7Hlp_getVersion(version);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_free:: data not found");
  k7hlp::Fail(-1, std::string(300, 'x').c_str());
  EXPECT_EQ(std::strlen(K7Hlp_getLastError()), 127u);
}

TEST(RecordTest, ARecordCanBeReusedWithoutAnExplicitFree) {
  Record in, out;
  k7hlp_test::MakeSurface(in, 3, 1, {1, 2, 3});
  ASSERT_EQ(K7Hlp_flipX(in.get(), out.get()), 0);
  ASSERT_EQ(K7Hlp_flipX(in.get(), out.get()), 0);  // the sanitizer build catches a leak here
  EXPECT_EQ(out.floats(), (std::vector<float>{3, 2, 1}));
}

TEST(RecordTest, VersionTextIsTheFileVersionOfTheLibrary) {
  std::ifstream file(std::string(ORVEX_LIB_DIR) + "/libK7Hlp.so", std::ios::binary);
  ASSERT_TRUE(file) << "the shared library is built with the tests";
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string note = std::string("K7Hlp") + '\0' + '\0' + '\0' + "0,0,5,37 git: efcb702";
  EXPECT_NE(bytes.find(note), std::string::npos);
}
