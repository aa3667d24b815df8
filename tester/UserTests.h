// The user menu: the fifteen tests that drive a k7cam_tq20 camera.
#pragma once

#include "MenuBase.h"
#include "TestEnv.h"

class CUserTests : public CMenuBase {
 public:
  CUserTests(CTestReport& report, CKeyInput& input);
  ~CUserTests() override;

  void FillEntries() override;

  // The one user menu of the process, for the message callback; null while none exists.
  static CUserTests* Instance();
  static void SetInstance(CUserTests* instance);

 private:
  TestEnv env_;
};
