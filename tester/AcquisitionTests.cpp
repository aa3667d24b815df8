#include "AcquisitionTests.h"

#include <chrono>
#include <cstdint>
#include <thread>

#include "CameraSystem.h"
#include "RegDescLookup.h"
#include "Settings.h"
#include "TestEnv.h"

namespace {

constexpr int kLoggedAcquisitions = 8;
constexpr uint32_t kExternalTriggerTimeoutMs = 5000;
constexpr int kTwoCameraPasses = 32;
constexpr int kEndlessFailureLimit = 8;

// The frame-change loop: every 8th acquisition changes the frame count.
constexpr int kFrameChangeAcquisitions = 128;
constexpr int kFrameChangeInterval = 8;
constexpr uint32_t kFirstFrameCount = 32;
constexpr uint32_t kFrameCountStep = 4;
constexpr int kBusyPollLimit = 21;
constexpr auto kBusyPollInterval = std::chrono::milliseconds(100);

void AcquireLogged(const TestEnv& env, QV_Handle handle, int count) {
  for (int i = 0; i < count; ++i) {
    int32_t result = QV_Acquire(handle);
    env.report.Log("(%i) QV_Acquire %i", i, result);
  }
}

void RunSettingsAndAcquire(const TestEnv& env, const SettingList& settings, uint32_t timeoutMs) {
  CameraSystem camera;
  if (!OpenSucceeded(camera.Open(QV_OPEN_USB, kTestSystem))) return;
  ApplySettings(camera.Handle(), settings, env.Out());
  if (timeoutMs) QV_SetTimeout(camera.Handle(), timeoutMs);
  AcquireLogged(env, camera.Handle(), kLoggedAcquisitions);
  camera.Close();
}

struct FrameChangeMaps {
  _Map* frames;
  _Map* freeRun;
  _Map* busy;
};

// The device needs a moment to take a new frame count; it shows that by its
// busy flag. The wait is bounded so that a flag that never clears cannot hang the test.
void WaitWhileBusy(QV_Handle handle, _Map* busy) {
  int waits = 0;
  do {
    std::this_thread::sleep_for(kBusyPollInterval);
    ++waits;
  } while (GetMapIfPresent(handle, busy) != 0 && waits < kBusyPollLimit);
}

void ChangeFrameCount(const TestEnv& env, QV_Handle handle, const FrameChangeMaps& maps, uint32_t frames,
                      bool pollBusy) {
  SetMapIfPresent(handle, maps.freeRun, 0);
  QV_Acquire(handle);
  if (pollBusy) QV_Acquire(handle);
  SetMapIfPresent(handle, maps.frames, frames);
  env.report.Log("QV_SetMap to %i frames", static_cast<int>(frames));
  if (pollBusy) WaitWhileBusy(handle, maps.busy);
  SetMapIfPresent(handle, maps.freeRun, 1);
}

void RunFrameChangeLoop(const TestEnv& env, bool pollBusy) {
  CameraSystem camera;
  if (!OpenSucceeded(camera.Open(QV_OPEN_USB, kTestSystem))) return;
  QV_Handle handle = camera.Handle();
  ApplySettings(handle, A16FramesSettings(), env.Out());
  const _RegDesc* desc = QV_GetRegDesc(handle);
  FrameChangeMaps maps{FindMapByName(desc, "SensNFrames"), FindMapByName(desc, "TrigFreeExtN"),
                       pollBusy ? FindMapByName(desc, "SensCfgBusy") : nullptr};
  QV_OpenDlgRegDesc(handle, nullptr);
  uint32_t frames = kFirstFrameCount;
  for (int i = 0; i < kFrameChangeAcquisitions; ++i) {
    if (i > 0 && i % kFrameChangeInterval == 0) {
      frames += kFrameCountStep;
      ChangeFrameCount(env, handle, maps, frames, pollBusy);
    }
    int32_t result = QV_Acquire(handle);
    env.report.Log("(%i) QV_Acquire %i", i, result);
  }
  camera.Close();
}

}  // namespace

void TestA16Z16(const TestEnv& env) { RunSettingsAndAcquire(env, A16Z16Settings(), 0); }

void TestChangingFrames(const TestEnv& env) { RunFrameChangeLoop(env, false); }

void TestChangingFramesBusyFlag(const TestEnv& env) { RunFrameChangeLoop(env, true); }

void TestTwoCameras(const TestEnv& env) {
  CameraSystem cameras[2];
  for (CameraSystem& camera : cameras) {
    if (!OpenSucceeded(camera.Open(QV_OPEN_USB, kTestSystem))) return;
  }
  for (CameraSystem& camera : cameras) ApplySettings(camera.Handle(), TwoCamerasSettings(), env.Out());
  for (int pass = 0; pass < kTwoCameraPasses; ++pass) {
    for (int index = 0; index < 2; ++index) {
      int32_t result = QV_Acquire(cameras[index].Handle());
      env.report.Log("(%i) (Cam%i) QV_Acquire %i", pass, index, result);
    }
  }
  for (CameraSystem& camera : cameras) camera.Close();
}

void TestEndlessLoop(const TestEnv& env) {
  CameraSystem camera;
  if (!OpenSucceeded(camera.Open(QV_OPEN_USB, kTestSystem))) return;
  QV_Handle handle = camera.Handle();
  ApplySettings(handle, A16EndlessSettings(), env.Out());
  // The handle's low bits tell the lines of several runs apart in one log.
  int tag = static_cast<int>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)));
  int failures = 0;
  while (failures < kEndlessFailureLimit) {
    int32_t result = QV_Acquire(handle);
    env.report.Log("(%i) QV_Acquire %i", tag, result);
    if (result <= 0) ++failures;
  }
  camera.Close();
}

void TestExternalTrigger(const TestEnv& env) {
  RunSettingsAndAcquire(env, A16Z16ExternalTriggerSettings(), kExternalTriggerTimeoutMs);
}
