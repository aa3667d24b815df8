#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "DebugChannel.h"
#include "K7Hlp.h"
#include "TestRecords.h"
#include "ZTagTable.h"

namespace k7hlp {
bool operator==(const zTagItem& a, const zTagItem& b) { return a.x == b.x && a.z == b.z; }
}  // namespace k7hlp

namespace {

std::vector<std::string> traces;

class ZTagTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    traces.clear();
    previous_ = k7hlp::ReplaceDebugSink([](const char* line) { traces.emplace_back(line); });
  }
  void TearDown() override { k7hlp::ReplaceDebugSink(previous_); }

  std::vector<k7hlp::zTagItem> Load(const std::string& content) {
    std::string path = k7hlp_test::ScratchPath("table.ztag");
    std::ofstream(path, std::ios::binary) << content;
    zTagHdl* handle = nullptr;
    EXPECT_EQ(K7Hlp_zTagFileLoad(&handle, path.data()), 0);
    std::vector<k7hlp::zTagItem> items = k7hlp::TableOf(*handle);
    K7Hlp_zTagFileUnload(handle);
    std::remove(path.c_str());
    return items;
  }

 private:
  k7hlp::DebugSink previous_ = nullptr;
};

using Items = std::vector<k7hlp::zTagItem>;

}  // namespace

TEST_F(ZTagTableTest, PairsInFileOrderWithNegatedZ) {
  EXPECT_EQ(Load("1.0 2.0\n3.0 -4.0\n"), (Items{{1, -2}, {3, 4}}));
  EXPECT_EQ(Load("1.0 2.0\n3.0 -4.0"), (Items{{1, -2}, {3, 4}})) << "a last line without line feed counts";
  EXPECT_EQ(Load("5 6 and a word\r\n# comment\n\n7\n8\t9\r\n"), (Items{{5, -6}, {8, -9}}));
}

TEST_F(ZTagTableTest, TraceLinesOnLoadAndUnload) {
  Load("1 1\n");
  EXPECT_EQ(traces, (std::vector<std::string>{"zTagItems constructore called...\n", "zTagItems destructore called...\n"}));
  traces.clear();
  K7Hlp_zTagFileUnload(nullptr);
  EXPECT_TRUE(traces.empty());
}

TEST_F(ZTagTableTest, MissingFileGivesAnEmptyTable) {
  zTagHdl* handle = nullptr;
  char path[] = "/nonexistent/dir/table.ztag";
  EXPECT_EQ(K7Hlp_zTagFileLoad(&handle, path), 0);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(k7hlp::TableOf(*handle).empty());
  K7Hlp_zTagFileUnload(handle);
  EXPECT_EQ(K7Hlp_zTagFileLoad(&handle, nullptr), 0);
  K7Hlp_zTagFileUnload(handle);
  EXPECT_EQ(K7Hlp_zTagFileLoad(nullptr, path), -2);
  EXPECT_STREQ(K7Hlp_getLastError(), "K7Hlp_zTagFileLoad:: handle not found");
}

TEST_F(ZTagTableTest, OverlongLinesAndBinaryContentAreHarmless) {
  std::string content = "1 2" + std::string(100000, ' ') + "\n" + std::string(5000, '9') + "\n";
  content += std::string("3 4\0garbage\n", 12);
  EXPECT_EQ(Load(content), (Items{{1, -2}, {3, -4}}));
}
