#include "InternalTests.h"

#include "FirmwareTests.h"

CInternalTests::CInternalTests(CTestReport& report, CKeyInput& input)
    : CMenuBase(report), env_{report, input}, lock_(input, report.Out()) {}

void CInternalTests::FillEntries() {
  AddLockedTest('1', "TestWriteFX2_RAM: ", &TestWriteFX2Ram);
  AddLockedTest('2', "TestReadFX2_EEPROM: ", &TestReadFX2Eeprom);
  AddLockedTest('3', "TestWriteFX2_EEPROM: ", &TestWriteFX2Eeprom);
  AddLockedTest('4', "TestWriteSerial: ", &TestWriteSerial);
  AddLockedTest('5', "TestReadSerial: ", &TestReadSerial);
}

void CInternalTests::AddLockedTest(char key, const char* title, void (*test)(const TestEnv&)) {
  AddTest(key, title, [this, test] {
    if (lock_.Unlock()) test(env_);
  });
}
