// The program: the report, both menus, and the choice between the interactive
// menu loop and tests named on the command line.
#pragma once

#include <cstdio>

#include "InternalTests.h"
#include "KeyInput.h"
#include "TestReport.h"
#include "UserTests.h"

class CTesterProgram {
 public:
  CTesterProgram(std::FILE* out, std::FILE* in);
  ~CTesterProgram();
  CTesterProgram(const CTesterProgram&) = delete;
  CTesterProgram& operator=(const CTesterProgram&) = delete;

  // Runs the menus (no arguments) or the named tests; the exit status.
  int Run(int argc, const char* const* argv);

 private:
  void RunInteractive();
  void RunArgument(const char* argument);

  CTestReport report_;
  CKeyInput input_;
  CUserTests userTests_;
  CInternalTests internalTests_;
};
