#include "StressTest.h"

#include <cstdint>
#include <cstring>

#include "CameraSystem.h"
#include "RegDescLookup.h"
#include "Settings.h"
#include "TestEnv.h"

namespace {

constexpr const char* kLongDashLine = "--------------------------------------------------------------------\n";
constexpr size_t kConditionLineSize = 256;
constexpr uint16_t kReadTiming = 2;
// The last acquisitions of a condition run with the external trigger selected,
// so the next condition starts from a camera that had to leave free run.
constexpr int kFreeRunTail = 2;

struct Condition {
  int frames;
  int sensTqp;
  int sensNavM2;
};

struct StressMaps {
  _Map* frames;
  _Map* acqStop;
  _Map* freeRun;
  _Map* sensTqp;
  _Map* sensNavM2;
};

bool InRange(int value, const StressRange& range) {
  return range.step < 0 ? value >= range.end : value <= range.end;
}

// Frames turn fastest, then SensNavM2, then SensTqp; false when the grid is done.
bool Advance(Condition& condition, const StressConfig& config) {
  condition.frames += config.frames.step;
  if (InRange(condition.frames, config.frames)) return true;
  condition.frames = config.frames.start;
  condition.sensNavM2 += config.sensNavM2.step;
  if (InRange(condition.sensNavM2, config.sensNavM2)) return true;
  condition.sensNavM2 = config.sensNavM2.start;
  condition.sensTqp += config.sensTqp.step;
  return InRange(condition.sensTqp, config.sensTqp);
}

void WriteHeader(const TestEnv& env, const StressConfig& config, std::FILE* log) {
  env.Print("%s", kLongDashLine);
  if (log) {
    std::fputs(kLongDashLine, log);
    std::fputs("Test Conditions:\n", log);
    for (const Setting& setting : StressBaseSettings()) std::fprintf(log, "%-20s:%4.i\n", setting.name.c_str(), setting.value);
  }
  char line[kConditionLineSize];
  std::snprintf(line, sizeof line, "numTest:(%i) frames:(%i %i %i) sensTqp:(%i %i %i) sensNavM2:(%i %i %i) \n",
                config.acquisitionsPerCondition, config.frames.start, config.frames.step, config.frames.end,
                config.sensTqp.start, config.sensTqp.step, config.sensTqp.end, config.sensNavM2.start,
                config.sensNavM2.step, config.sensNavM2.end);
  env.Print("%s", line);
  if (log) {
    std::fputs(line, log);
    std::fflush(log);
  }
}

StressMaps FindStressMaps(QV_Handle handle) {
  const _RegDesc* desc = QV_GetRegDesc(handle);
  return StressMaps{FindMapByName(desc, "SensNFrames"), FindMapByName(desc, "AcqStop"),
                    FindMapByName(desc, "TrigFreeExtN"), FindMapByName(desc, "SensTqp"),
                    FindMapByName(desc, "SensNavM2")};
}

void ApplyCondition(QV_Handle handle, const StressMaps& maps, const Condition& condition) {
  SetMapIfPresent(handle, maps.acqStop, 1);
  SetMapIfPresent(handle, maps.frames, static_cast<uint32_t>(condition.frames));
  SetMapIfPresent(handle, maps.sensTqp, static_cast<uint32_t>(condition.sensTqp));
  SetMapIfPresent(handle, maps.sensNavM2, static_cast<uint32_t>(condition.sensNavM2));
  SetMapIfPresent(handle, maps.freeRun, 1);
  SetMapIfPresent(handle, maps.acqStop, 0);
}

void FormatConditionLine(QV_Handle handle, const Condition& condition, char (&line)[kConditionLineSize]) {
  QV_AcquTiming timing{};
  QV_UpdateAcquTiming(handle, &timing, kReadTiming);
  // A period of 0 (no timing maps) shows as inf rather than faulting.
  std::snprintf(line, sizeof line, "fps:%10.2f demodFrq:%10.2f frames:%3.i SensTqp:%4.i SensNavM2:%2.i ",
                1e9 / static_cast<double>(timing.framePeriod), 1e9 / static_cast<double>(timing.demodPeriod),
                condition.frames, condition.sensTqp, condition.sensNavM2);
}

// Runs the acquisitions of one condition; false after the first failed one,
// which is printed and logged together with the condition line.
bool AcquireCondition(const TestEnv& env, QV_Handle handle, const StressMaps& maps, const StressConfig& config,
                      const char* conditionLine, std::FILE* log) {
  for (int index = 0; index < config.acquisitionsPerCondition; ++index) {
    int32_t result = QV_Acquire(handle);
    if (result <= 0) {
      char failure[64];
      std::snprintf(failure, sizeof failure, "(%i) QV_Acquire %i\n", index, result);
      env.Print("%s", failure);
      if (log) {
        std::fputs(conditionLine, log);
        std::fputs(failure, log);
        std::fflush(log);
      }
      return false;
    }
    env.Print(".");
    std::fflush(env.Out());
    if (index >= config.acquisitionsPerCondition - kFreeRunTail) SetMapIfPresent(handle, maps.freeRun, 0);
  }
  return true;
}

}  // namespace

void TestStress(const TestEnv& env) { RunStress(env, StressConfig{}); }

void RunStress(const TestEnv& env, const StressConfig& config) {
  std::FILE* log = std::fopen(config.logFile, "a");
  WriteHeader(env, config, log);
  Condition condition{config.frames.start, config.sensTqp.start, config.sensNavM2.start};
  CameraSystem camera;
  StressMaps maps{};
  bool more = true;
  while (more) {
    if (!camera.IsOpen()) {
      if (!OpenSucceeded(camera.Open(QV_OPEN_USB, kTestSystem))) break;
      ApplySettings(camera.Handle(), StressBaseSettings(), env.Out());
      maps = FindStressMaps(camera.Handle());
    }
    ApplyCondition(camera.Handle(), maps, condition);
    char line[kConditionLineSize];
    FormatConditionLine(camera.Handle(), condition, line);
    env.Print("%s", line);
    bool passed = AcquireCondition(env, camera.Handle(), maps, config, line, log);
    if (passed) env.Print("done\n");
    more = Advance(condition, config);
    if (!passed) camera.Close();
  }
  camera.Close();
  if (log) std::fclose(log);
}
