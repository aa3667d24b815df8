#include "AccessLock.h"

#include <string>

#include "KeyInput.h"

namespace {

constexpr const char* kPassword = "marrowby57";
constexpr size_t kPasswordLineChars = 63;

}  // namespace

CAccessLock::CAccessLock(CKeyInput& input, std::FILE* out) : input_(input), out_(out) {}

bool CAccessLock::Unlock() {
  if (granted_) return true;
  std::fputs("enter password to activate internal functions:\n", out_);
  std::fflush(out_);
  std::string answer;
  input_.ReadLine(answer, kPasswordLineChars);
  if (answer == kPassword) {
    std::fputs("permission granted\n", out_);
    granted_ = true;
  } else {
    std::fputs("invalid password\n", out_);
  }
  return granted_;
}
