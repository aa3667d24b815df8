// User tests that process acquisitions and write the arrays out as CSV files.
#pragma once

struct TestEnv;

void TestProcessing(const TestEnv& env);  // Test7
void TestIntensity(const TestEnv& env);   // TestC
