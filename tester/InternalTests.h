// The internal menu: FX2 firmware, EEPROM and serial-number services behind
// the access lock.
#pragma once

#include "AccessLock.h"
#include "MenuBase.h"
#include "TestEnv.h"

class CInternalTests : public CMenuBase {
 public:
  CInternalTests(CTestReport& report, CKeyInput& input);

  void FillEntries() override;

  // Lets internal tests run without the password (command-line selection).
  void GrantPermission() { lock_.Grant(); }
  bool HasPermission() const { return lock_.Granted(); }

 private:
  // Adds a test that runs only after the access lock lets it.
  void AddLockedTest(char key, const char* title, void (*test)(const TestEnv&));

  TestEnv env_;
  CAccessLock lock_;
};
