// Building and opening systems from open strings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Orvex.h"

struct CPelSys;

namespace orvex {

// The keys of an open string this library reads when building a system, in
// the order a token is compared with them.
enum OpenKey { kKeySys, kKeyFpga, kKeySensor, kKeyUsb, kKeyEth, kKeyMotion, kKeyRegDesc, kKeyVerbose, kKeyCount };

// Values of the known keys (absent, or the text after '='; a later token
// replaces an earlier one). Only the first 255 characters are read.
struct OpenStringValues {
  std::optional<std::string> values[kKeyCount];
  const std::optional<std::string>& operator[](OpenKey key) const { return values[key]; }
};

OpenStringValues TokeniseOpenString(const char* openString);

}  // namespace orvex

class CFactory {
 public:
  // Builds the unconnected system an open string names and appends it to the
  // open-system list; null (after reporting why) when it cannot be built.
  static CPelSys* BuildSystem(const char* openString);

  // The whole open of modes 0 and 2: build, connect a USB entry, read all
  // registers. Null when the open failed; nothing of it is left in the list.
  static CPelSys* OpenDevice(const char* openString, uint32_t mode);

  // Mode 1: a recorded stream file replayed as a camera. Null on failure.
  static CPelSys* OpenStream(const char* path);

 private:
  // Device search, firmware upload and FPGA download for a system whose
  // description has a USB entry. Negative when no camera could be connected
  // (the reason already reported); the caller then closes the system.
  static int32_t ConnectUsb(CPelSys& system, uint32_t mode);
};
