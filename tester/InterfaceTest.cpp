#include "InterfaceTest.h"

#include "CameraSystem.h"
#include "ProgramCallback.h"
#include "RegDescLookup.h"
#include "RegisterTests.h"
#include "Settings.h"
#include "TestEnv.h"

namespace {

constexpr int kMaxAcquisitions = 8;

void CheckCallback(CTestReport& report) {
  report.Begin("QV_SetCallback");
  report.Verdict(QV_SetCallback(&ProgramCallback) != nullptr);
}

void CheckVersion(const TestEnv& env) {
  env.report.Begin("QV_GetVersion");
  env.report.Verdict(LogVersion(env) == 0);
}

bool CheckOpen(CTestReport& report, CameraSystem& camera) {
  report.Begin("QV_Open");
  int32_t result = camera.Open(QV_OPEN_USB, kTestSystem);
  bool ok = camera.IsOpen() && result == 1;
  report.Verdict(ok);
  return ok;
}

void CheckDescription(CTestReport& report, QV_Handle handle) {
  report.Begin("QV_GetRegDesc");
  const _RegDesc* desc = QV_GetRegDesc(handle);
  report.Verdict(desc != nullptr);
  report.Begin("Str2Map");
  report.Verdict(FindMapByName(desc, "SensTqp") != nullptr);
}

void CheckAcquire(CTestReport& report, QV_Handle handle) {
  report.Begin("QV_Acquire");
  int32_t result = 0;
  for (int i = 0; i < kMaxAcquisitions; ++i) {
    result = QV_Acquire(handle);
    report.Log("(%i) QV_Acquire %i", i, result);
    if (result < 0) break;
  }
  report.Verdict(result > 0);
}

void CheckClose(CTestReport& report, CameraSystem& camera) {
  report.Begin("QV_Close");
  report.Verdict(camera.Close() >= 0);
}

}  // namespace

void TestInterface(const TestEnv& env) {
  CTestReport& report = env.report;
  CheckCallback(report);
  CheckVersion(env);
  CameraSystem camera;
  if (!CheckOpen(report, camera)) {
    env.Print("!!!!!! Test Aborted !!!!!!!!\n");
    report.Summary();
    return;
  }
  ApplySettings(camera.Handle(), InterfaceSettings(), env.Out());
  CheckDescription(report, camera.Handle());
  CheckAcquire(report, camera.Handle());
  CheckClose(report, camera);
  report.Summary();
}
