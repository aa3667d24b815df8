// Connecting a camera to its USB device, with the FPGA configuration download.
#pragma once

#include <cstddef>
#include <cstdint>

struct usb_dev_handle;
class CPelCam;

namespace orvex {

class CUsbInterface;

constexpr size_t kFpgaPieceBytes = 16384;
constexpr int kFpgaAttempts = 8;

// Makes the camera a USB camera owning `device` (may be null) and, in mode 0,
// sends the FPGA configuration file named by the system description.
// Negative on failure.
int SetInterfaceUSB(CPelCam& camera, usb_dev_handle* device, uint32_t mode);

// The download with its retry policy; verifyAddress is the register read
// back to see whether the FPGA answers. The status (negative = failure).
int DownloadFpga(CUsbInterface& usb, const uint8_t* stream, size_t size, uint8_t verifyAddress);

}  // namespace orvex
