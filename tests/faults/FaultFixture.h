// What every fault case shares: a data folder of its own, waits that cost
// nothing, the messages the library sent, and the checks that a failed
// operation left no device handle, no claimed interface and no open system
// behind, so that a healthy camera opens afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "Orvex.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"
#include "platform/Sleep.h"

namespace faults {

// A text message (kind 1) as the callback receives it.
struct Text {
  uint32_t value;
  std::string text;
  bool operator==(const Text& other) const { return value == other.value && text == other.text; }
};
std::ostream& operator<<(std::ostream& out, const Text& message);

// One injected fault: emulator keys ("key = value" lines) applied to a camera
// that is otherwise healthy, what the call must return and report.
struct FaultCase {
  const char* name;      // test name suffix
  const char* faults;    // emulator keys injected for this case
  int64_t result;        // expected return value (see the operation's test)
  std::vector<Text> texts;  // every text message, in order
  const char* progressEnd = nullptr;  // text of the last progress close, if any
};

void PrintTo(const FaultCase& fault, std::ostream* out);
std::string CaseName(const ::testing::TestParamInfo<FaultCase>& info);

class FaultTest : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the emulator with this camera setup (no faults yet).
  void StartCamera(const std::string& setup);
  // Injects the case's faults into the running camera.
  void InjectFaults();
  // Opens the camera (mode 2 keeps a configured FPGA) and expects success.
  QV_Handle OpenHealthy(uint32_t mode);

  // Opens the camera beside an unconnected system and expects the case's
  // result: 1, or 0 with the handle cleared and the list as it was.
  void ExpectOpen(uint32_t mode);

  std::vector<Text> Texts() const;
  std::string LastProgressClose() const;
  // The case's texts and progress close arrived, nothing else.
  void ExpectReported();
  // No open system, every usb_open closed, every claim released.
  void ExpectNothingLeftOpen();
  // Clears the faults (replugs a pulled cable) and opens the same camera
  // again: mode 0 brings up a controller or FPGA that the fault left behind.
  void ExpectHealthyOpenWorks();

  orvex_test::TempDataFolder folder;
  orvex_test::CallbackRecorder recorder;
  orvex::SleepFunction previousSleep = nullptr;
};

}  // namespace faults
