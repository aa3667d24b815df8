// The USB part of opening a system.
#pragma once

#include <cstdint>

struct CPelSys;

namespace orvex {

// Uploads after which the controller still shows up without firmware end the
// open: it will not come to life.
constexpr int kMaxFirmwareUploads = 3;
constexpr int kRenumerateSteps = 50;
constexpr uint32_t kRenumerateStepMs = 100;

// Finds the camera (uploading controller firmware when it has none),
// connects it and, in mode 0, configures its FPGA. A system whose
// description has no USB entry stays unconnected. False after reporting the
// failure; the caller then closes the system.
bool ConnectUsbCamera(CPelSys& system, const char* openString, uint32_t mode);

}  // namespace orvex
