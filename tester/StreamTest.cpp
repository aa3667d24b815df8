#include "StreamTest.h"

#include <string>

#include "CameraSystem.h"
#include "PathMapping.h"
#include "TestEnv.h"

namespace {

constexpr const char* kStreamFile = "E:\\pvs-streams\\out.pvs";
constexpr uint16_t kReadTiming = 2;
constexpr uint16_t kWriteAndReadTiming = 3;
constexpr uint32_t kWantedDemodPeriodNs = 100005;
constexpr uint32_t kWantedFramePeriodNs = 500005;
constexpr int kReplayedAcquisitions = 32;

void SetWantedTiming(QV_Handle handle) {
  QV_AcquTiming timing{};
  QV_UpdateAcquTiming(handle, &timing, kReadTiming);
  timing.demodPeriod = kWantedDemodPeriodNs;
  timing.framePeriod = kWantedFramePeriodNs;
  QV_UpdateAcquTiming(handle, &timing, kWriteAndReadTiming);
}

}  // namespace

void TestStreamReplay(const TestEnv& env) {
  std::string path = MapWindowsPath(kStreamFile);
  CameraSystem camera;
  if (!OpenSucceeded(camera.Open(QV_OPEN_STREAM, path.c_str()))) return;
  QV_Handle handle = camera.Handle();
  SetWantedTiming(handle);
  for (int i = 0; i < kReplayedAcquisitions; ++i) {
    int32_t result = QV_Acquire(handle);
    env.report.Log("(%i) QV_Acquire %i", i, result);
    _CamDataMeta meta{};
    const _CamData* record = QV_GetCamData(handle, 0, 0, &meta);
    if (record) env.report.Log("DP_ENCODER %d", record->flags & QV_CD_HEADER);
  }
  camera.Close();
}
