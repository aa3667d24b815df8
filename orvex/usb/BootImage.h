// Whole-image checks of a C2 boot image before it goes into the boot EEPROM,
// where a damaged image leaves a camera that no longer boots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvex {

// Empty when the image is fit to be written, else what is wrong with it: a
// C2 boot header, load records that lie inside the file and end with the
// last-record mark, and, when the loaded code carries our footer, its
// checksum.
std::string BootImageProblem(const uint8_t* image, size_t size);

}  // namespace orvex
