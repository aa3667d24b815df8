// What a device tells about itself: string-descriptor replies of any length
// and content, and the device-selection keys of the open string.
#include <cstdint>
#include <string>
#include <vector>

#include "usb/DeviceSearch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // First byte: the reply length the USB library claims (it may exceed what
  // the buffer holds; callers bound it), the rest: the reply bytes.
  int claimed = static_cast<int>(data[0]) - 8;
  std::vector<char> reply(data + 1, data + size);
  int length = claimed > static_cast<int>(reply.size()) ? static_cast<int>(reply.size()) : claimed;
  orvex::SerialFromStringDescriptor(reply.data(), length, 16);
  orvex::SerialFromStringDescriptor(reply.data(), length, 256);
  std::string openString(reinterpret_cast<const char*>(data), size);
  orvex::ParseDeviceSelection(openString.c_str());
  return 0;
}
