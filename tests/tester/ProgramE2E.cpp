// Runs build/bin/libOrvexTester as a separate process against the emulated
// camera and checks what it prints and writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "Sandbox.h"

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  std::string output;
  int status = -1;
};

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs the program in the sandbox's working directory, stdin from input,
// stderr joined to stdout, without a desktop.
ProgramRun RunTester(const Sandbox& box, const std::string& arguments, const std::string& input = "",
                     const std::string& emulatorConfig = "", int timeoutSeconds = 0) {
  std::string inputFile = box.root() + "/stdin.txt";
  std::ofstream(inputFile) << input;
  std::string command = "cd " + ShellQuote(box.workDir()) + " && env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_DIRS=" +
                        ShellQuote(box.dataDir());
  if (!emulatorConfig.empty()) command += " ORVEX_EMULATOR_CONFIG=" + ShellQuote(box.WriteEmulatorConfig(emulatorConfig));
  if (timeoutSeconds > 0) command += " timeout " + std::to_string(timeoutSeconds);
  command += " " + ShellQuote(TESTER_PROGRAM) + " " + arguments + " < " + ShellQuote(inputFile) + " 2>&1";
  ProgramRun run;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) run.output.append(chunk, got);
  run.status = pclose(pipe);
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

TEST(TesterProgram, InterfaceTestPassesEveryCheckAgainstTheEmulator) {
  Sandbox box;
  ProgramRun run = RunTester(box, "ub");
  EXPECT_EQ(run.status, 0);
  for (const char* check : {"QV_SetCallback", "QV_GetVersion", "QV_Open", "QV_GetRegDesc", "Str2Map", "QV_Acquire",
                            "QV_Close"}) {
    std::regex verdict(std::string("\\*\\*\\*\\*\\d{3}\\*\\*\\*\\* Testing ") + check + "\t+SUCCESS\n");
    EXPECT_TRUE(std::regex_search(run.output, verdict)) << check << "\n" << run.output;
  }
  EXPECT_EQ(run.output.find("FAILED"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find(">>>>   >>>> QV_GetVersion 1.7.5.252\n"), std::string::npos);
  EXPECT_NE(run.output.find(std::string(55, '-') + "\nTest Result: 7/7 passed, 0 skipped\n"), std::string::npos)
      << run.output;
}

TEST(TesterProgram, MissingCameraGivesTheAbortedReport) {
  Sandbox box;
  ProgramRun run = RunTester(box, "ub", "", "cameras = 0\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(std::regex_search(run.output, std::regex("Testing QV_Open\t+FAILED\n"))) << run.output;
  EXPECT_NE(run.output.find("!!!!!! Test Aborted !!!!!!!!\n"), std::string::npos);
  EXPECT_NE(run.output.find("Test Result: 2/3 passed, 0 skipped\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("Str2Map"), std::string::npos);
}

// The shape the processing test logs, which the CSV files must follow.
std::vector<int> LoggedShape(const std::string& output) {
  std::vector<int> dims;
  std::smatch match;
  std::string rest = output;
  for (int d = 0; d < 3; ++d) {
    std::regex line(">>>>   >>>> Meta\\.dimSz\\[" + std::to_string(d) + "\\] = (\\d+)\n");
    if (!std::regex_search(output, match, line)) return {};
    dims.push_back(std::stoi(match[1]));
  }
  return dims;
}

void ExpectCsvShape(const std::string& path, size_t lines, size_t valuesPerLine) {
  ASSERT_TRUE(fs::is_regular_file(path)) << path;
  std::vector<std::string> rows = Lines(ReadFile(path));
  ASSERT_EQ(rows.size(), lines) << path;
  for (const std::string& row : {rows.front(), rows.back()}) {
    EXPECT_EQ(static_cast<size_t>(CountOccurrences(row, ",")), valuesPerLine - 1) << path;
    EXPECT_TRUE(std::regex_match(row, std::regex("\\d+(,\\d+)*"))) << path;
  }
}

TEST(TesterProgram, ProcessingWritesTwoCsvFilesPerAcquisition) {
  Sandbox box;
  ProgramRun run = RunTester(box, "u7");
  EXPECT_EQ(run.status, 0);
  std::vector<int> dims = LoggedShape(run.output);
  ASSERT_EQ(dims, (std::vector<int>{2, 281, 293})) << run.output;
  EXPECT_NE(run.output.find(">>>>   >>>> Meta.numDim = 3\n"), std::string::npos);
  EXPECT_TRUE(std::regex_search(run.output, std::regex(">>>>   >>>> \\(9\\) QV_ProcessCamData 0x[0-9A-F]{16}\n")));
  EXPECT_NE(run.output.find(">>>>   >>>> Data[99] = "), std::string::npos);
  EXPECT_EQ(CountOccurrences(run.output, "Size after processing : "), 10);
  for (int n = 0; n < 10; ++n) {
    std::string stem = box.InWork("tester-out/TAVRIN/data_" + std::to_string(n));
    ExpectCsvShape(stem + "_a.csv", 281, 293);
    ExpectCsvShape(stem + "_z_.csv", 281, 293);
  }
  EXPECT_FALSE(fs::exists(box.InWork("tester-out/TAVRIN/data_10_a.csv")));
}

TEST(TesterProgram, IntensityTestWaitsTwiceAndWrites300By300Images) {
  Sandbox box;
  ProgramRun run = RunTester(box, "uc", "\n\n");
  size_t cover = run.output.find("Cover the camera to generate offset fix pattern and press enter to continue...\n");
  size_t remove = run.output.find("Remove the cover and press enter to continue...\n");
  ASSERT_NE(cover, std::string::npos) << run.output;
  ASSERT_NE(remove, std::string::npos);
  // The offset is taken from acquisition 3, before the cover comes off.
  EXPECT_LT(run.output.find(">>>>   >>>> (3) QV_Acquire "), remove);
  EXPECT_GT(run.output.find(">>>>   >>>> (4) QV_Acquire "), remove);
  EXPECT_NE(run.output.find(">>>>   >>>> Dim 1 : 300\n>>>>   >>>> Dim 2 : 300\n"), std::string::npos);
  for (int n = 0; n < 10; ++n) {
    std::string path = box.InWork("tester-out/TAVRIN/data/data_" + std::to_string(n) + "_i.csv");
    if (n <= 3) {
      EXPECT_FALSE(fs::exists(path)) << path;
      continue;
    }
    std::vector<std::string> rows = Lines(ReadFile(path));
    ASSERT_EQ(rows.size(), 300u) << path;
    EXPECT_EQ(CountOccurrences(rows.front(), "\t"), 299);
    EXPECT_TRUE(std::regex_match(rows.back(), std::regex("-?\\d+(\t-?\\d+){299}"))) << path;
  }
}

TEST(TesterProgram, HeaderTableNeedsNoCamera) {
  Sandbox box;
  ProgramRun run = RunTester(box, "u9", "", "cameras = 0\n");
  EXPECT_EQ(run.output, std::string(55, '-') +
                            "\nsizeof 2048\n0x0000 dummy0\n0x0001 syncWord\n0x0002 dummy1\n0x0010 zTags\n"
                            "0x0210 dummy2\n0x03f0 tmpOptics\n0x03f1 tmpLaser\n0x03f2 frmDur\n0x03f4 scanDur\n"
                            "0x03f8 timeStamp\n0x03fc nFrames\n0x03fd dummy3\n0x03fe nVolume\n");
}

TEST(TesterProgram, StressTestRunsWithItsDescribedGrid) {
  Sandbox box;
  // The whole grid takes long; its first conditions show that it runs as described.
  ProgramRun run = RunTester(box, "ua", "", "", 15);
  EXPECT_NE(run.output.find("numTest:(4) frames:(48 -1 1) sensTqp:(712 -32 40) sensNavM2:(20 -1 1) \n"),
            std::string::npos)
      << run.output;
  EXPECT_TRUE(std::regex_search(run.output, std::regex("frames: 48 SensTqp: 712 SensNavM2:20 ")));
  EXPECT_TRUE(std::regex_search(run.output, std::regex("frames: 47 SensTqp: 712 SensNavM2:20 "))) << run.output;
  std::string log = ReadFile(box.InWork("UserTestA.log"));
  EXPECT_EQ(log.rfind(std::string(68, '-') + "\nTest Conditions:\nAcqStop             :   1\n"
                                              "CamMode             :   7\nnumTest:(4)",
                      0),
            0u)
      << log;
}

TEST(TesterProgram, ChangingFramesStepsTheFrameCountEveryEighthAcquisition) {
  Sandbox box;
  ProgramRun run = RunTester(box, "u4");
  EXPECT_NE(run.output.find(">>>>   >>>> QV_SetMap to 36 frames\n>>>>   >>>> (8) QV_Acquire "), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find(">>>>   >>>> QV_SetMap to 92 frames\n>>>>   >>>> (120) QV_Acquire "), std::string::npos);
  EXPECT_EQ(CountOccurrences(run.output, "QV_SetMap to "), 15);
  EXPECT_EQ(CountOccurrences(run.output, " QV_Acquire "), 128);
  EXPECT_FALSE(std::regex_search(run.output, std::regex("QV_Acquire (-\\d+|0)\n"))) << run.output;
}

TEST(TesterProgram, WrongPasswordRunsNothing) {
  Sandbox box;
  ProgramRun run = RunTester(box, "", "i\n1\nnot-the-password\n5\nx\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(CountOccurrences(run.output, "enter password to activate internal functions:\n"), 2);
  EXPECT_EQ(CountOccurrences(run.output, "invalid password\n"), 2);
  EXPECT_EQ(run.output.find("Load FX2-i2c File"), std::string::npos);
  EXPECT_EQ(run.output.find("Read Serial String"), std::string::npos);
}

TEST(TesterProgram, RightPasswordIsAskedOnce) {
  Sandbox box;
  ProgramRun run = RunTester(box, "", "i\n5\nmarrowby57\n5\nx\n");
  EXPECT_EQ(CountOccurrences(run.output, "enter password"), 1);
  EXPECT_EQ(CountOccurrences(run.output, "permission granted\n"), 1);
  EXPECT_EQ(CountOccurrences(run.output, "Serial string is OVX0001\n"), 2) << run.output;
}

TEST(TesterProgram, EepromDumpShowsEveryRowAndSavesTheImage) {
  Sandbox box;
  ProgramRun run = RunTester(box, "i2", "eeprom-copy\n");
  std::vector<std::string> lines = Lines(run.output);
  std::vector<std::string> rows;
  std::regex row("[0-9a-f]{8}: ([0-9a-f]{16}\\|){4}");
  for (const std::string& line : lines) {
    if (std::regex_match(line, row)) rows.push_back(line);
  }
  ASSERT_EQ(rows.size(), 512u) << run.output;
  EXPECT_EQ(rows.front().substr(0, 12), "00000000: c2");
  EXPECT_EQ(rows.back().substr(0, 10), "00003fe0: ");
  std::string image = ReadFile(box.InWork("eeprom-copy.iic"));
  ASSERT_EQ(image.size(), 16384u);
  char first[3];
  std::snprintf(first, sizeof first, "%02x", static_cast<unsigned char>(image[1]));
  EXPECT_EQ(rows.front().substr(12, 2), first);
  EXPECT_EQ(fs::status(box.InWork("eeprom-copy.iic")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST(TesterProgram, CancelledFilePromptsSayNoFileSelected) {
  Sandbox box;
  ProgramRun run = RunTester(box, "i1 i3");
  EXPECT_NE(run.output.find("Load FX2-i2c File ...\ni2c Files (*.iic): \n"
                            "ClibOrvexTester::TestWriteFX2_RAM(): no file selected\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("ClibOrvexTester::TestWriteFX2_EEPROM(): no file selected\n"), std::string::npos);
}

TEST(TesterProgram, EepromImageWrittenBackReadsTheSame) {
  Sandbox box;
  ProgramRun save = RunTester(box, "i2", "saved\n");
  ProgramRun write = RunTester(box, "i3 i2", "saved.iic\nsaved-again\n");
  EXPECT_EQ(write.output.find("error"), std::string::npos) << write.output;
  EXPECT_EQ(ReadFile(box.InWork("saved.iic")), ReadFile(box.InWork("saved-again.iic")));
}

TEST(TesterProgram, NamedTestsRunInOrderWithoutAMenu) {
  Sandbox box;
  ProgramRun run = RunTester(box, "ix u9 q9 i5");
  EXPECT_EQ(run.output.find("press a key"), std::string::npos);
  EXPECT_EQ(run.output.find("enter password"), std::string::npos);
  size_t table = run.output.find("sizeof 2048");
  size_t serial = run.output.find("Read Serial String");
  ASSERT_NE(table, std::string::npos);
  ASSERT_NE(serial, std::string::npos);
  EXPECT_LT(table, serial);
  EXPECT_EQ(CountOccurrences(run.output, "sizeof 2048"), 1);
}

}  // namespace
