// User tests that acquire raw data in the camera modes.
#pragma once

struct TestEnv;

void TestA16Z16(const TestEnv& env);                    // Test3
void TestChangingFrames(const TestEnv& env);            // Test4
void TestChangingFramesBusyFlag(const TestEnv& env);    // TestE
void TestTwoCameras(const TestEnv& env);                // Test5
void TestEndlessLoop(const TestEnv& env);               // TestD
void TestExternalTrigger(const TestEnv& env);           // TestF
