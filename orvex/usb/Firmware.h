// Controller firmware: C2 boot images (".iic") and their upload into RAM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct usb_dev_handle;

namespace orvex {

class CUsbInterface;

constexpr size_t kBootHeaderBytes = 8;
constexpr uint16_t kCpuControlRegister = 0xE600;

// Reports what the boot header says: 0 for a C2 image or an empty boot byte,
// -1 for anything else (and for an image too short to hold a header).
int CheckBootHeader(const uint8_t* image, size_t size);

// Holds the CPU, writes every complete load record, releases the CPU and
// resets the device. Records are read only inside the image. Returns 0.
int UploadToControllerRam(CUsbInterface& usb, const uint8_t* image, size_t size);

// The firmware file path: a drive-qualified name or an absolute path as it
// is, else the i2c folder of the data folder.
std::string FirmwarePath(const char* name);

// The work of IF_WriteFX2_RAM: 0, or -1 when the file cannot be read. A
// passed device stays the caller's; without one the first available device
// is taken and closed afterwards.
int LoadAndUploadFirmware(const char* name, usb_dev_handle* device);

// Reports a file that could not be read, formatted into 256 characters.
void ReportFileNotLoaded(const char* format, const std::string& path);

}  // namespace orvex
