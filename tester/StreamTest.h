// User test that replays a recorded stream file.
#pragma once

struct TestEnv;

void TestStreamReplay(const TestEnv& env);  // Test8
