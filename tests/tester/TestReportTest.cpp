#include <gtest/gtest.h>

#include <string>

#include "CapturedOutput.h"
#include "TestReport.h"

namespace {

TEST(TestReport, VerdictsLineUpBehindShortChecksAndNotBehindLongOnes) {
  CapturedOutput out;
  CTestReport report(out.file());
  // "****001**** Testing " is 20 characters, the tab one more.
  report.Begin(std::string(11, 'a').c_str());  // 32 characters printed: two more tabs
  report.Verdict(true);
  report.Begin(std::string(20, 'b').c_str());  // 41 characters printed: none
  report.Verdict(false);
  EXPECT_EQ(out.text(), "****001**** Testing aaaaaaaaaaa\t\t\tSUCCESS\n"
                        "****002**** Testing bbbbbbbbbbbbbbbbbbbb\tFAILED\n");
}

TEST(TestReport, LogBetweenBeginAndVerdictRepeatsTheCheckLine) {
  CapturedOutput out;
  CTestReport report(out.file());
  report.Begin("QV_GetVersion");
  report.Log("QV_GetVersion %i.%i.%i.%i", 1, 7, 5, 252);
  report.Verdict(true);
  EXPECT_EQ(out.text(),
            "****001**** Testing QV_GetVersion\t\t"
            "\n>>>>   >>>> QV_GetVersion 1.7.5.252\n"
            "****001**** Testing QV_GetVersion\t\tSUCCESS\n");
}

TEST(TestReport, EveryLineOfALogTextIsPrefixed) {
  CapturedOutput out;
  CTestReport report(out.file());
  report.Log("first\nsecond");
  report.Log("closed by a line feed\n");
  EXPECT_EQ(out.text(), ">>>>   >>>> first\n>>>>   >>>> second\n>>>>   >>>> closed by a line feed\n");
}

TEST(TestReport, LogTextIsCutAt1023Characters) {
  CapturedOutput out;
  CTestReport report(out.file());
  report.Log("%s", std::string(2000, 'z').c_str());
  EXPECT_EQ(out.text(), ">>>>   >>>> " + std::string(1023, 'z') + "\n");
}

TEST(TestReport, SummaryCountsAndListsSkippedChecks) {
  CapturedOutput out;
  CTestReport report(out.file());
  report.Begin("one");
  report.Verdict(true);
  report.Begin("two");
  report.Verdict(false);
  report.Summary();
  report.Skip("three");
  report.Skip("four");
  report.Summary();
  std::string dash(55, '-');
  std::string text = out.text();
  EXPECT_NE(text.find(dash + "\nTest Result: 1/2 passed, 0 skipped\n" + dash), std::string::npos);
  EXPECT_NE(text.find("Test Result: 1/2 passed, 2 skipped\n"
                      "----------------------- SKIPPED -----------------------\nthree\nfour\n"),
            std::string::npos);
  EXPECT_EQ(report.ChecksRun(), 2);
  EXPECT_EQ(report.ChecksPassed(), 1);
}

}  // namespace
