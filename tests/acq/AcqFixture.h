// A camera with a small register description of its own, for the acquisition
// and stream tests (no data folder, no device).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Orvex.h"
#include "core/PelSys.h"

namespace acq_test {

// Register addresses of the test description.
constexpr uint8_t kRegMode = 0;     // CamMode bits 0-2, Comp11to8 bit 3
constexpr uint8_t kRegFrames = 1;   // SensNFrames
constexpr uint8_t kRegDark = 2;     // SensNDarkFrames
constexpr uint8_t kRegHwin = 3;     // ExSimpMaxHwin
constexpr uint8_t kRegPlain = 7;    // no map; does not touch the acquisition buffer

struct DescOptions {
  bool withComp = true;         // a Comp11to8 map
  bool aliasNames = false;      // cam_mode and frames instead of CamMode and SensNFrames
};

// A single-block register description as the parser would hand it over.
_RegDesc* BuildTestRegDesc(const DescOptions& options = {});

// A listed system "sys=acqtest" with that description, unconnected (pattern).
CPelSys* OpenTestSystem(const DescOptions& options = {}, const std::string& name = "sys=acqtest");

// The system build used for stream opening: "sys=acqtest..." only.
CPelSys* BuildTestSystem(const char* openString);

void SetMode(QV_Handle handle, uint8_t camMode, bool comp = false);
void SetFrames(QV_Handle handle, uint8_t frames);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace acq_test
