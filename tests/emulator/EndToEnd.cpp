// The shared libOrvex against the emulator, as an application sees it, with
// the real waits of the open.
#include <gtest/gtest.h>

#include "Orvex.h"
#include "common/TempDataFolder.h"

namespace {

int32_t Silent(QV_Handle, uint32_t, uint32_t, const char*) { return 0; }

TEST(EndToEnd, DefaultCameraOpensInMode0) {
  orvex_test::TempDataFolder folder;
  folder.CopyShippedData();
  QV_SetCallback(&Silent);
  char serials[17 * 2] = {};
  ASSERT_EQ(QV_GetSerials(serials), 1u);
  EXPECT_STREQ(serials, "OVX0001");
  QV_Handle handle = nullptr;
  ASSERT_EQ(QV_Open(&handle, 0, "sys=k7cam_tq20"), 1);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(QV_SetTimeout(handle, 2000), 1000);
  EXPECT_EQ(QV_CleanUSB(handle), 0);
  EXPECT_EQ(QV_Close(handle), 0);
}

}  // namespace
