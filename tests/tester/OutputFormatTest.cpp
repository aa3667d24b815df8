#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "CapturedOutput.h"
#include "CsvExport.h"
#include "IntensityImage.h"
#include "MemoryDump.h"
#include "PathMapping.h"

namespace {

namespace fs = std::filesystem;

int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(MemoryDump, ErasedEepromGives512RowsOfFourBarClosedGroups) {
  std::vector<uint8_t> erased(0x4000, 0xFF);
  CapturedOutput out;
  PrintMemoryDump(out.file(), erased.data(), erased.size());
  std::string text = out.text();
  std::string group = std::string(16, 'f') + "|";
  std::string row = group + group + group + group + "\n";
  EXPECT_EQ(text.rfind("Dump of memory byte by byte regrouped in blocks of 8 byte\n"
                       "   bytes:  0 1 2 3 4 5 6 7| 8 9 a b c d e f|1011121314151617|18191a1b1c1d1e1f|\n"
                       "--------:-----------------+----------------+----------------+----------------|\n"
                       "00000000: " + row + "00000020: ",
                       0),
            0u);
  EXPECT_EQ(CountOf(text, row), 512);
  EXPECT_NE(text.find("\n00003fe0: " + row + "\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
}

TEST(PathMapping, DriveQualifiedPathsLandBelowTheOutputFolder) {
  EXPECT_EQ(MapWindowsPath("c:\\TAVRIN\\data_3_a.csv"), "tester-out/TAVRIN/data_3_a.csv");
  EXPECT_EQ(MapWindowsPath("c:\\TAVRIN\\data\\data_4_i.csv"), "tester-out/TAVRIN/data/data_4_i.csv");
  EXPECT_EQ(MapWindowsPath("E:\\pvs-streams\\out.pvs"), "tester-out/pvs-streams/out.pvs");
  EXPECT_EQ(MapWindowsPath("relative\\name.txt"), "tester-out/relative/name.txt");
}

TEST(PathMapping, OutputFoldersAreCreatedBelowTheWorkingDirectory) {
  char pattern[] = "/tmp/tester-paths-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  fs::path previous = fs::current_path();
  fs::current_path(pattern);
  std::FILE* out = OpenMappedOutput("c:\\TAVRIN\\data\\data_4_i.csv");
  ASSERT_NE(out, nullptr);
  std::fclose(out);
  EXPECT_TRUE(fs::is_regular_file(fs::path(pattern) / "tester-out/TAVRIN/data/data_4_i.csv"));
  fs::current_path(previous);
  fs::remove_all(pattern);
}

ProcessedData Shaped(std::vector<uint32_t> dims, size_t valueCount) {
  ProcessedData data;
  data.numDim = static_cast<uint8_t>(dims.size());
  for (size_t d = 0; d < dims.size(); ++d) data.dims[d] = dims[d];
  data.values.resize(valueCount);
  for (size_t i = 0; i < valueCount; ++i) data.values[i] = static_cast<uint16_t>(i);
  return data;
}

TEST(CsvExport, ComponentZeroGoesToTheFirstFileTheOthersToTheSecond) {
  // (c, j, k) is element c + 2j + 6k: 2 components, 3 rows, 2 columns.
  ProcessedData data = Shaped({2, 3, 2}, 12);
  CapturedOutput amplitude, surface;
  ASSERT_TRUE(WriteComponentCsv(data, amplitude.file(), surface.file()));
  EXPECT_EQ(amplitude.text(), "0,6\n2,8\n4,10\n");
  EXPECT_EQ(surface.text(), "1,7\n3,9\n5,11\n");
}

TEST(CsvExport, ShapeLargerThanTheDataWritesNothing) {
  ProcessedData data = Shaped({2, 3, 2}, 11);
  CapturedOutput amplitude, surface;
  EXPECT_FALSE(WriteComponentCsv(data, amplitude.file(), surface.file()));
  EXPECT_EQ(amplitude.text(), "");
}

TEST(IntensityImage, SumsComponentsAndFramesPerPixel) {
  // dims 2 x 2 x 3 x 2: pixel (m, h) sums a + 2m + 4h + 12b over a < 2, b < 2.
  ProcessedData data = Shaped({2, 2, 3, 2}, 24);
  IntensityImage image = BuildIntensityImage(data);
  ASSERT_TRUE(image.valid);
  EXPECT_FALSE(image.clipped);
  auto value = [&](int h, int m) { return image.values[h * kIntensitySide + m]; };
  EXPECT_EQ(value(0, 0), 0 + 1 + 12 + 13);
  EXPECT_EQ(value(2, 1), (10 + 11) + (22 + 23));
  EXPECT_EQ(value(0, 2), 0);  // outside the data: stays 0
  CapturedOutput out;
  WriteImageCsv(image.values, kIntensitySide, out.file());
  std::string text = out.text();
  EXPECT_EQ(CountOf(text, "\n"), 300);
  EXPECT_EQ(text.substr(0, 10), "26\t42\t58\t0");
}

TEST(IntensityImage, LargerImagesUseTheirFirst300By300Pixels) {
  ProcessedData data = Shaped({1, 301, 302, 1}, 301 * 302);
  IntensityImage image = BuildIntensityImage(data);
  ASSERT_TRUE(image.valid);
  EXPECT_TRUE(image.clipped);
  EXPECT_EQ(image.values.size(), 300u * 300u);
  EXPECT_EQ(image.values[299 * kIntensitySide + 299], static_cast<uint16_t>(299 + 301 * 299));
}

TEST(IntensityImage, ShapeNotBackedByDataGivesAnEmptyImage) {
  ProcessedData data = Shaped({2, 300, 300, 4}, 2 * 300 * 300 * 3);
  IntensityImage image = BuildIntensityImage(data);
  EXPECT_FALSE(image.valid);
  IntensityImage offset = image;
  offset.values[5] = 7;
  SubtractOffset(image, offset);
  EXPECT_EQ(image.values[5], -7);
}

}  // namespace
