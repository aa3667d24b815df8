#include <gtest/gtest.h>

#include <string>

#include "CapturedOutput.h"
#include "MenuBase.h"
#include "TestReport.h"

namespace {

class CountingMenu : public CMenuBase {
 public:
  using CMenuBase::CMenuBase;
  void FillEntries() override {
    AddTest('1', "Test1: first", [this] { ++firstRuns; });
    AddTest('1', "Test1: shadowed", [this] { ++shadowedRuns; });
  }
  int firstRuns = 0;
  int shadowedRuns = 0;
};

const std::string kDash(55, '-');

TEST(Menu, ShowListsEntriesInInsertionOrderAndTheExitLine) {
  CapturedOutput out;
  CTestReport report(out.file());
  CountingMenu user(report), internal(report);
  user.AddSwitch('i', "> switch to Internal Function", &internal);
  user.FillEntries();
  user.Show();
  EXPECT_EQ(out.text(), kDash + "\ni: > switch to Internal Function\n1: Test1: first\n1: Test1: shadowed\n"
                                "----------------\nx: exit\n\npress a key");
}

TEST(Menu, SelectRunsTheFirstEntryOfAKeyAndStaysInItsMenu) {
  CapturedOutput out;
  CTestReport report(out.file());
  CountingMenu menu(report);
  menu.FillEntries();
  EXPECT_EQ(menu.Select('1'), &menu);
  EXPECT_EQ(menu.firstRuns, 1);
  EXPECT_EQ(menu.shadowedRuns, 0);
  EXPECT_EQ(out.text(), kDash + "\n");
}

TEST(Menu, SwitchEntryRunsNothingAndChangesTheMenu) {
  CapturedOutput out;
  CTestReport report(out.file());
  CountingMenu user(report), internal(report);
  user.AddSwitch('i', "> switch to Internal Function", &internal);
  internal.AddSwitch('u', "> switch to User Function", &user);
  EXPECT_EQ(user.Select('i'), &internal);
  EXPECT_EQ(internal.Select('u'), &user);
}

TEST(Menu, UnassignedKeyOnlyPrintsTheDashLineAndExitEnds) {
  CapturedOutput out;
  CTestReport report(out.file());
  CountingMenu menu(report);
  menu.FillEntries();
  EXPECT_EQ(menu.Select('z'), &menu);
  EXPECT_EQ(menu.Select('x'), nullptr);
  EXPECT_EQ(out.text(), kDash + "\n");
  EXPECT_EQ(menu.firstRuns, 0);
}

}  // namespace
