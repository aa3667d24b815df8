// TestInterface: the basic library functions, each a check of the report.
#pragma once

struct TestEnv;

void TestInterface(const TestEnv& env);
