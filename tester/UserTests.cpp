#include "UserTests.h"

#include "AcquisitionTests.h"
#include "InterfaceTest.h"
#include "ProcessingTests.h"
#include "RegisterTests.h"
#include "StreamTest.h"
#include "StressTest.h"

namespace {

CUserTests* g_instance = nullptr;

}  // namespace

CUserTests::CUserTests(CTestReport& report, CKeyInput& input) : CMenuBase(report), env_{report, input} {}

CUserTests::~CUserTests() {
  if (g_instance == this) g_instance = nullptr;
}

CUserTests* CUserTests::Instance() { return g_instance; }

void CUserTests::SetInstance(CUserTests* instance) { g_instance = instance; }

void CUserTests::FillEntries() {
  const TestEnv& env = env_;
  AddTest('1', "Test1: show registerDescr of sys=k7cam_tq20", [&env] { TestShowRegisterDescription(env); });
  AddTest('2', "Test2: open k7cam_tq20 and OpenRegDercDlg", [&env] { TestRegisterDialog(env); });
  AddTest('3', "Test3: test sys=k7cam_tq20: A16Z16", [&env] { TestA16Z16(env); });
  AddTest('4', "Test4: test sys=k7cam_tq20: A16 changing frames", [&env] { TestChangingFrames(env); });
  AddTest('5', "Test5: test sys=k7cam_tq20: 2 Cameras", [&env] { TestTwoCameras(env); });
  AddTest('6', "Test6: Get Serial numbers from all connected Pelcams!", [&env] { TestSerialNumbers(env); });
  AddTest('7', "Test7: Processing", [&env] { TestProcessing(env); });
  AddTest('8', "Test8: QV_UpdateAcquTiming(), Read Stream and show zTags", [&env] { TestStreamReplay(env); });
  AddTest('9', "Test9: tests with CamDataHdr", [&env] { TestHeaderLayout(env); });
  AddTest('a', "TestA: stress test in A16Z16", [&env] { TestStress(env); });
  AddTest('b', "TestInterface: Basic LibOrvex function testing and report", [&env] { TestInterface(env); });
  AddTest('c', "TestC: test sys=k7cam_tq20: Intensity mode", [&env] { TestIntensity(env); });
  AddTest('d', "TestD: test sys=k7cam_tq20: A16 endless loop (interrupt with Ctrl + C)",
          [&env] { TestEndlessLoop(env); });
  AddTest('e', "TestE: test sys=k7cam_tq20: A16 changing frames and check SensCfgBusy flag",
          [&env] { TestChangingFramesBusyFlag(env); });
  AddTest('f', "TestF: test sys=k7cam_tq20: A16Z16 wait for extern trigger and acquire data",
          [&env] { TestExternalTrigger(env); });
}
