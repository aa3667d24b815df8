// Configuration of the virtual cameras: a small "key = value" text, read from
// the file named by ORVEX_EMULATOR_CONFIG or handed over by the control API.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Images.h"

namespace orvex_emu {

// A fault to inject: first let `skip` chances pass, then fail `count` times
// (-1 = always). Written "N", "S+N" or "always".
struct FaultCounter {
  int skip = 0;
  int count = 0;
  // True when this chance fails.
  bool Take();
};

struct Faults {
  FaultCounter dropResponses;        // command responses that never arrive
  FaultCounter nakResponses;         // responses with status 0 instead of the acknowledgement
  FaultCounter garbledResponses;     // responses whose command bytes are wrong
  FaultCounter shortResponses;       // responses of 32 instead of 64 bytes
  FaultCounter zeroReads;            // data reads (0x82) that return 0 bytes
  FaultCounter shortReads;           // data reads that return half the bytes
  FaultCounter readErrors;           // data reads that fail with -EIO
  FaultCounter readTimeouts;         // data reads that fail with -ETIMEDOUT
  FaultCounter writeTimeouts;        // bulk writes that fail with -ETIMEDOUT, nothing received
  FaultCounter fpgaVerifyFailures;   // FPGA downloads that end unconfigured
  FaultCounter eepromWriteNaks;      // EEPROM writes refused
  FaultCounter eepromReadbackErrors; // EEPROM reads with one corrupted byte
  FaultCounter firmwareFailures;     // RAM uploads that do not start
  FaultCounter openFailures;         // usb_open refusals
  FaultCounter claimFailures;        // usb_claim_interface refusals
  FaultCounter unplug;               // bulk transfers after which the cable is pulled
  FaultCounter stalls;               // data reads that halt endpoint 0x82 until the host clears it
};

enum class EepromContent { Firmware, Blank, File };

struct BusyRegister {
  bool enabled = false;
  uint8_t address = 0;
  uint8_t mask = 0;
  int reads = 0;  // reads of the register until the bits clear
};

// A USB 2.0 high-speed bulk link as cameras reach it in practice.
constexpr double kDefaultLinkRate = 40e6;

struct CameraConfig {
  std::string serial;
  FirmwareIdentity identity;
  EepromContent eeprom = EepromContent::Firmware;
  std::string eepromFile;
  bool fpgaConfigured = false;
  bool plugged = true;
  std::vector<std::pair<uint8_t, uint8_t>> registers;  // initial device values
  BusyRegister busy;
  int counterRegister = -1;  // a register that counts its own reads
  // Register description for busy flags and the frame counter: "auto" (the
  // data folder's), "none", or a path. Explicit busy keys win.
  std::string regdesc = "auto";
  int busyReads = 2;
  std::string scene;
  uint64_t acquisitions = 0;  // first acquisition number of the sensor
  // Bulk data rate of the link in bytes per second; 0 = unlimited (no link
  // pacing and no frame timing: acquisitions as fast as the host asks).
  double linkRate = kDefaultLinkRate;
  Faults faults;
};

struct EmulatorConfig {
  std::vector<CameraConfig> cameras;
};

// One camera with the defaults (serial "OVX0001" for index 0 ...). The
// link rate default comes from ORVEX_EMULATOR_LINK_RATE when set (test
// suites run with "unlimited").
CameraConfig DefaultCamera(unsigned index);

// Applies one key to a camera; false with a reason for an unknown key or a bad value.
bool ApplyCameraKey(CameraConfig& camera, const std::string& key, const std::string& value, std::string& error);

// Parses a whole configuration text. Keys before the first "[camera N]"
// section apply to every camera; "cameras = N" sets their number.
bool ParseConfig(const std::string& text, EmulatorConfig& config, std::string& error);

// The configuration of the environment (ORVEX_EMULATOR_CONFIG), or one
// default camera. A broken file is reported on stderr and ignored.
EmulatorConfig ConfigFromEnvironment();

}  // namespace orvex_emu
