// Internal tests: service access to the camera's FX2 controller.
#pragma once

struct TestEnv;

void TestWriteFX2Ram(const TestEnv& env);
void TestReadFX2Eeprom(const TestEnv& env);
void TestWriteFX2Eeprom(const TestEnv& env);
void TestWriteSerial(const TestEnv& env);
void TestReadSerial(const TestEnv& env);
