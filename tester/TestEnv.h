// What every test works with: the shared report (which also carries the output
// stream) and the console input.
#pragma once

#include <cstdio>

#include "KeyInput.h"
#include "TestReport.h"

struct TestEnv {
  CTestReport& report;
  CKeyInput& input;

  std::FILE* Out() const { return report.Out(); }
  void Print(const char* format, ...) const __attribute__((format(printf, 2, 3)));
};
