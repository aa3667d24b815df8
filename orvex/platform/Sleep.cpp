#include "platform/Sleep.h"

#include <chrono>
#include <thread>

namespace orvex {
namespace {

void RealSleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

SleepFunction g_sleep = &RealSleep;

}  // namespace

void SleepMs(uint32_t milliseconds) { g_sleep(milliseconds); }

SleepFunction ReplaceSleepFunction(SleepFunction fn) {
  SleepFunction previous = g_sleep;
  g_sleep = fn ? fn : &RealSleep;
  return previous;
}

}  // namespace orvex
