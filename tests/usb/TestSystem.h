// A small open system for transport tests: a USB system description and a
// register description with a read-through status register and a map that
// spans two registers, appended to the open-system list.
#pragma once

#include <cstdint>

#include "core/PelSys.h"

namespace orvex_test {

constexpr uint8_t kStatusReg = 0x00;  // read-through
constexpr uint8_t kPlainReg = 0x10;
constexpr uint8_t kWideLowReg = 0x11;
constexpr uint8_t kWideHighReg = 0x12;

struct TestSystemOptions {
  int32_t protocol = 2;
  const char* fpgaCfg = "test.bit";
  const char* fx2FW = "test.iic";
  bool withUsb = true;
};

class TestSystem {
 public:
  explicit TestSystem(const TestSystemOptions& options = {});
  ~TestSystem();
  TestSystem(const TestSystem&) = delete;
  TestSystem& operator=(const TestSystem&) = delete;

  CPelSys* system() const { return system_; }
  CPelCam& camera() const { return *system_->camera; }
  _Map* StatusMap() const;
  _Map* WideMap() const;

  // Finds the first camera and connects it in the given mode: the result of
  // the connect (negative = failure), or -100 when no device was found.
  int Connect(uint32_t mode = 2);

 private:
  CPelSys* system_;
};

}  // namespace orvex_test
