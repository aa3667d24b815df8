#pragma once

#include <cstddef>
#include <cstdint>

struct usb_dev_handle;

namespace orvex {

// The USB side of a connected camera: an open device with interface 0 claimed.
class CUsbInterface {
 public:
  CUsbInterface() = default;
  ~CUsbInterface();
  CUsbInterface(const CUsbInterface&) = delete;
  CUsbInterface& operator=(const CUsbInterface&) = delete;

  // Clears a halt condition on one endpoint: 0, or the negative transfer result.
  int ClearHalt(unsigned endpoint);
  // One bulk transfer with this interface's time-out: bytes moved, or a
  // negative transfer result (-1 without a device).
  int BulkRead(unsigned endpoint, void* buffer, size_t length);
  int BulkWrite(unsigned endpoint, const void* buffer, size_t length);

  usb_dev_handle* device = nullptr;
  uint32_t timeoutMs = 1000;
};

}  // namespace orvex
