// Device-side register behaviour taken from the register description the
// library uses: busy flags that clear after a few reads, and a frame counter
// the camera advances with every acquisition.
#pragma once

#include <string>

#include "Config.h"

namespace orvex_emu {

struct RegisterModel {
  BusyRegister busy;          // the "...Busy" bits of one status register
  int frameCounterLow = -1;   // registers of the "FrameCnt" map
  int frameCounterHigh = -1;
};

// Reads the description; false when the file cannot be read or parsed.
bool LoadRegisterModel(const std::string& path, int busyReads, RegisterModel& model);

// "<first XDG_DATA_DIRS entry>/Tavrin/devDesc/RegDesc_k7_tq20.xml": the
// design of our camera in the data folder the library reads too.
std::string DefaultRegisterDescription();

}  // namespace orvex_emu
