#include <gtest/gtest.h>

#include <string>

#include "LvTestSupport.h"
#include "core/Messages.h"
#include "core/SystemList.h"
#include "common/RecordingDesktop.h"

namespace {

using lvtest::SourceText;

class LvErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lvtest::UseStandIn();
    ASSERT_EQ(LV_Init(), 0);
  }
  void TearDown() override {
    orvex::CloseAllSystems();
    QV_SetCallback(nullptr);
  }
  // A fresh cluster whose source string the stand-in owns.
  LV_ErrorCluster Cluster() { return LV_ErrorCluster{0, 0, reinterpret_cast<LV_StringHandle>(source_.get())}; }

  lvtest::TestDescription description_;
  lvtest::Array source_;
};

TEST_F(LvErrorsTest, PrefixedMessageBecomesErrorClusterAndEmptiesTheStore) {
  int never = 0;
  EXPECT_EQ(QV_Close(reinterpret_cast<QV_Handle>(&never)), -1);
  LV_ErrorCluster error = Cluster();
  ASSERT_EQ(LV_ErrHandling(&error, nullptr, "Cam"), 0);
  EXPECT_EQ(error.status, 1);
  EXPECT_EQ(error.code, 5000);
  EXPECT_EQ(SourceText(error), "Cam:\nIllegal Handle!\n");
  EXPECT_EQ((*error.source)->cnt, 3 + 2 + 15 + 1);
  EXPECT_EQ((*error.source)->str[(*error.source)->cnt], '\0') << "terminating zero inside the block";

  LV_ErrorCluster again = Cluster();
  again.source = nullptr;
  EXPECT_EQ(LV_ErrHandling(&again, nullptr, "Cam"), 0);
  EXPECT_EQ(again.status, 0) << "the store was emptied";
  EXPECT_EQ(again.source, nullptr);
}

TEST_F(LvErrorsTest, WithoutPrefixOnlyTextAndNewline) {
  orvex::ReportText(nullptr, orvex::kMsgLabViewWarning, "something failed");
  LV_ErrorCluster error = Cluster();
  ASSERT_EQ(LV_ErrHandling(&error, nullptr, nullptr), 0);
  EXPECT_EQ(SourceText(error), "something failed\n");
  EXPECT_EQ((*error.source)->cnt, 17);
}

TEST_F(LvErrorsTest, MessageOfAnotherSystemStaysForItsOwner) {
  QV_Handle first = description_.Open();
  QV_Handle second = description_.Open();
  EXPECT_EQ(LV_GetAttrib(first, 0, "Nothing"), 0);
  LV_ErrorCluster error = Cluster();
  ASSERT_EQ(LV_ErrHandling(&error, second, "Cam2"), 0);
  EXPECT_EQ(error.status, 0);
  EXPECT_EQ(error.code, 0);
  EXPECT_EQ(lvtest::Runtime().handleSize(source_.get()), 0) << "source untouched";

  ASSERT_EQ(LV_ErrHandling(&error, first, "Cam1"), 0);
  EXPECT_EQ(SourceText(error), "Cam1:\nCould not find Register or Map called Nothing\n");
}

TEST_F(LvErrorsTest, MessageWithoutSystemIsCollectedByAnyHandleAndNullClusterIsRefused) {
  QV_Handle system = description_.Open();
  orvex::ReportText(nullptr, orvex::kMsgLabViewWarning, "global");
  EXPECT_EQ(LV_ErrHandling(nullptr, system, nullptr), 1);
  LV_ErrorCluster error = Cluster();
  ASSERT_EQ(LV_ErrHandling(&error, system, nullptr), 0);
  EXPECT_EQ(SourceText(error), "global\n");
}

TEST_F(LvErrorsTest, StoreKeepsTheLastMessageCutTo255Characters) {
  orvex::ReportText(nullptr, orvex::kMsgLabViewWarning, "first");
  std::string longText(400, 'x');
  orvex::ReportText(nullptr, orvex::kMsgLabViewWarning, "%s", longText.c_str());
  LV_ErrorCluster error = Cluster();
  ASSERT_EQ(LV_ErrHandling(&error, nullptr, nullptr), 0);
  EXPECT_EQ(SourceText(error), std::string(255, 'x') + "\n");
}

TEST_F(LvErrorsTest, FailedResizeReturnsItsCodeAndStillEmptiesTheStore) {
  orvex::ReportText(nullptr, orvex::kMsgLabViewWarning, "lost");
  lvtest::Runtime().failResizesAfter(0);
  LV_ErrorCluster error = Cluster();
  EXPECT_EQ(LV_ErrHandling(&error, nullptr, "Cam"), 2);
  EXPECT_EQ(error.status, 1);
  EXPECT_EQ(error.code, 5000);
  EXPECT_EQ(lvtest::Runtime().handleSize(source_.get()), 0);
  lvtest::Runtime().failResizesAfter(-1);
  EXPECT_EQ(LV_ErrHandling(&error, nullptr, "Cam"), 0);
  EXPECT_EQ(lvtest::Runtime().handleSize(source_.get()), 0) << "nothing left to collect";
}

TEST_F(LvErrorsTest, OnlyTextMessagesAreStoredOtherKindsReachTheDefaultCallback) {
  orvex_test::ScopedRecordingDesktop desktop;
  orvex::Notify(nullptr, QV_MSG_TEXT, 0x303, "no box after LV_Init");
  orvex::ReportProgress(50, QV_PROGRESS_UPDATE, "Loading");
  orvex::ReportProgress(100, QV_PROGRESS_CLOSE, nullptr);
  ASSERT_FALSE(desktop->events.empty());
  EXPECT_EQ(desktop->events.front().what, "create");
  EXPECT_EQ(desktop->events.back().what, "destroy");
  for (const auto& shown : desktop->events) EXPECT_NE(shown.what, "box");
  LV_ErrorCluster error = Cluster();
  ASSERT_EQ(LV_ErrHandling(&error, nullptr, nullptr), 0);
  EXPECT_EQ(SourceText(error), "no box after LV_Init\n");
}

TEST_F(LvErrorsTest, InitAgainClosesAllSystemsAndClearsTheStore) {
  QV_Handle system = description_.Open();
  orvex::ReportText(nullptr, orvex::kMsgLabViewWarning, "old");
  ASSERT_EQ(LV_Init(), 0);
  EXPECT_FALSE(orvex::IsOpenSystem(system));
  LV_ErrorCluster error = Cluster();
  ASSERT_EQ(LV_ErrHandling(&error, nullptr, nullptr), 0);
  EXPECT_EQ(error.status, 0);
}

}  // namespace
