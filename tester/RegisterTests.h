// User tests around descriptions, registers, maps, serial numbers and the
// frame header layout.
#pragma once

#include <cstdint>

struct TestEnv;

// Logs the library version, highest part first; answers QV_GetVersion's status.
int32_t LogVersion(const TestEnv& env);

void TestShowRegisterDescription(const TestEnv& env);  // Test1
void TestRegisterDialog(const TestEnv& env);           // Test2
void TestSerialNumbers(const TestEnv& env);            // Test6
void TestHeaderLayout(const TestEnv& env);             // Test9
