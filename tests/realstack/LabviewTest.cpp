// A LabVIEW acquisition on a virtual camera of orvex-vcam, through Debian's
// libusb-0.1 on usbfs (run inside a session by CTest).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "LvTestSupport.h"

namespace {

using lvtest::Array;

bool SystemLibusbLoaded() {
  std::ifstream maps("/proc/self/maps");
  bool system = false;
  for (std::string line; std::getline(maps, line);) {
    if (line.find("libusb-0.1.so.4") == std::string::npos) continue;
    if (line.find("/build/emulator/") != std::string::npos) return false;
    system = true;
  }
  return system;
}

TEST(RealStackLabview, ProcessedAcquisitionFromTheCamera) {
  lvtest::UseStandIn();
  ASSERT_EQ(LV_Init(), 0);
  QV_Handle camera = nullptr;
  ASSERT_EQ(QV_Open(&camera, QV_OPEN_USB_NO_FPGA, "sys=k7cam_tq20"), 1);
  EXPECT_TRUE(SystemLibusbLoaded());
  ASSERT_EQ(LV_SetAttrib(camera, 0, "CamMode=0 SensNFrames=4"), 2);
  Array data, header;
  LV_AcquireInfo info{};
  constexpr int32_t kRawSize = ((4 * 360000 + 2048) + 512) & ~511;
  ASSERT_EQ(LV_Acquire(camera, 1, 0, data.get(), header.get(), &info), kRawSize);
  EXPECT_EQ(data.Extents(4), (std::vector<int32_t>{4, 300, 300, 2}));
  EXPECT_EQ(info.dataSize, 4u * 360000u);
  CamDataHdr frame;
  std::memcpy(&frame, header.Elements<uint16_t>(1), sizeof frame);
  EXPECT_EQ(frame.syncWord, 0x5AA5);
  EXPECT_EQ(frame.nFrames, 4u) << "the camera's own frame header";
  QV_Close(camera);
}

}  // namespace
