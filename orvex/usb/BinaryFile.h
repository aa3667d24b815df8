#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvex {

// Firmware images and bit streams are small; anything larger is not one.
constexpr size_t kMaxDeviceFileBytes = 64u << 20;

// Reads a whole regular file; false when it cannot be opened or read, is not
// a regular file or exceeds kMaxDeviceFileBytes.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

}  // namespace orvex
