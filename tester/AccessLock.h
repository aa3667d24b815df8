// The password in front of the internal tests. Once granted, the permission
// holds for the rest of the run.
#pragma once

#include <cstdio>

class CKeyInput;

class CAccessLock {
 public:
  CAccessLock(CKeyInput& input, std::FILE* out);

  // Asks for the password unless permission was granted before; true when the
  // test may run.
  bool Unlock();
  void Grant() { granted_ = true; }
  bool Granted() const { return granted_; }

 private:
  CKeyInput& input_;
  std::FILE* out_;
  bool granted_ = false;
};
