// TestA: acquisitions over a grid of frame counts and timings, failures
// logged to a file.
#pragma once

#include <cstdio>

struct TestEnv;

struct StressRange {
  int start;
  int step;  // added to advance (negative: counting down)
  int end;   // the last value still run
};

struct StressConfig {
  int acquisitionsPerCondition = 4;
  StressRange frames{48, -1, 1};
  StressRange sensTqp{712, -32, 40};
  StressRange sensNavM2{20, -1, 1};
  const char* logFile = "UserTestA.log";
};

void TestStress(const TestEnv& env);  // the program's run, with the configuration above
void RunStress(const TestEnv& env, const StressConfig& config);
