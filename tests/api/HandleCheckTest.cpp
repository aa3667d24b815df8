// Every export that takes a handle rejects unknown handles the same way: one
// "Illegal Handle!" report without a handle, its error value, nothing else.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Orvex.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"

namespace {

struct Call {
  const char* name;
  std::function<bool(QV_Handle)> returnsErrorValue;
};

std::vector<Call> HandleTakingExports() {
  static uint8_t info[60];
  static uint16_t words[16];
  static QV_AcquTiming timing;
  static _Map map;
  return {
      {"QV_Close", [](QV_Handle h) { return QV_Close(h) == -1; }},
      {"QV_SetTimeout", [](QV_Handle h) { return QV_SetTimeout(h, 5) == -1; }},
      {"QV_SetProcessingThreads", [](QV_Handle h) { return QV_SetProcessingThreads(h, 2) == -1; }},
      {"QV_SetCamInfo", [](QV_Handle h) { return QV_SetCamInfo(h, info) == -1; }},
      {"QV_GetCamInfo", [](QV_Handle h) { return QV_GetCamInfo(h, info) == -1; }},
      {"QV_CleanUSB", [](QV_Handle h) { return QV_CleanUSB(h) == -1; }},
      {"QV_GetSysDesc", [](QV_Handle h) { return QV_GetSysDesc(h) == nullptr; }},
      {"QV_GetRegDesc", [](QV_Handle h) { return QV_GetRegDesc(h) == nullptr; }},
      {"QV_SetReg", [](QV_Handle h) { return QV_SetReg(h, 1, 2) == -1; }},
      {"QV_GetReg", [](QV_Handle h) { return QV_GetReg(h, 1) == 0xFF; }},
      {"QV_SetMap", [](QV_Handle h) { return QV_SetMap(h, &map, 3) == -1; }},
      {"QV_GetMap", [](QV_Handle h) { return QV_GetMap(h, &map) == 0xFFFFFFFFu; }},
      {"QV_Acquire", [](QV_Handle h) { return QV_Acquire(h) == -1; }},
      {"QV_AllocCamData", [](QV_Handle h) { return QV_AllocCamData(h, 1, 5, 0, nullptr, 0) == nullptr; }},
      {"QV_GetCamData", [](QV_Handle h) { return QV_GetCamData(h, 0, 1, nullptr) == nullptr; }},
      {"QV_SetCamData", [](QV_Handle h) { return QV_SetCamData(h, 1, nullptr) == -1; }},
      {"QV_FreeCamData", [](QV_Handle h) { return QV_FreeCamData(h, 0) == nullptr; }},
      {"QV_Read", [](QV_Handle h) { return QV_Read(h, words, sizeof words, 0) == -1; }},
      {"QV_Write", [](QV_Handle h) { return QV_Write(h) == -1; }},
      {"QV_ProcessCamData", [](QV_Handle h) { return QV_ProcessCamData(h, 1, 0, nullptr) == nullptr; }},
      {"QV_UpdateAcquTiming", [](QV_Handle h) { return QV_UpdateAcquTiming(h, &timing, 2) == -1; }},
      {"QV_CreateStreamFile", [](QV_Handle h) { return QV_CreateStreamFile(h, nullptr) == -1; }},
      {"QV_FileStreamCmd", [](QV_Handle h) { return QV_FileStreamCmd(h, 1, 0, nullptr) == -1; }},
      {"QV_OpenDlgRegDesc", [](QV_Handle h) { return QV_OpenDlgRegDesc(h, nullptr) == -1; }},
  };
}

void ExpectRejected(QV_Handle handle, const std::string& what) {
  for (const Call& call : HandleTakingExports()) {
    orvex_test::CallbackRecorder recorder;
    EXPECT_TRUE(call.returnsErrorValue(handle)) << call.name << " with " << what;
    ASSERT_EQ(recorder.messages().size(), 1u) << call.name << " with " << what;
    const auto& m = recorder.messages()[0];
    EXPECT_EQ(m.handle, nullptr) << call.name;
    EXPECT_EQ(m.kind, 1u) << call.name;
    EXPECT_EQ(m.value, 0x503u) << call.name;
    EXPECT_EQ(m.text, "Illegal Handle!") << call.name;
  }
}

TEST(HandleCheckTest, EveryHandleTakingExportRejectsUnknownHandles) {
  orvex_test::TempDataFolder data;
  data.CopyShippedData();
  ExpectRejected(nullptr, "an empty handle and no open system");
  int never = 0;
  ExpectRejected(reinterpret_cast<QV_Handle>(&never), "a pointer that was never a handle");

  QV_Handle open = nullptr, closed = nullptr;
  ASSERT_EQ(QV_Open(&open, 0, "sys=k7cam_sim"), 1);
  ASSERT_EQ(QV_Open(&closed, 0, "sys=k7cam_sim"), 1);
  ASSERT_EQ(QV_Close(closed), 0);
  ExpectRejected(closed, "a closed handle while another system is open");
  ExpectRejected(nullptr, "an empty handle while a system is open");
  EXPECT_TRUE(orvex::IsOpenSystem(open)) << "rejections must not touch the open system";
  EXPECT_EQ(QV_Close(open), 0);
}

}  // namespace
