// Replaces the platform sleep for the scope and records every wait.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Sleep.h"

namespace orvex_test {

class SleepRecorder {
 public:
  SleepRecorder() : previous_(orvex::ReplaceSleepFunction(&Record)) { Waits().clear(); }
  ~SleepRecorder() { orvex::ReplaceSleepFunction(previous_); }
  const std::vector<uint32_t>& waits() const { return Waits(); }

 private:
  static std::vector<uint32_t>& Waits() {
    static std::vector<uint32_t> waits;
    return waits;
  }
  static void Record(uint32_t milliseconds) { Waits().push_back(milliseconds); }
  orvex::SleepFunction previous_;
};

}  // namespace orvex_test
