#pragma once

#include <cstddef>
#include <cstdint>

struct usb_dev_handle;

namespace orvex {

constexpr size_t kPacketBytes = 64;
constexpr uint32_t kDefaultTimeoutMs = 1000;

// The USB side of a connected camera: an open device with interface 0
// claimed. It owns the device: destruction releases interface 0 and closes it.
class CUsbInterface {
 public:
  explicit CUsbInterface(usb_dev_handle* device = nullptr, uint32_t timeoutMs = kDefaultTimeoutMs)
      : device(device), timeoutMs(timeoutMs) {}
  ~CUsbInterface();
  CUsbInterface(const CUsbInterface&) = delete;
  CUsbInterface& operator=(const CUsbInterface&) = delete;

  // Clears a halt condition on one endpoint: 0, or the negative transfer result.
  int ClearHalt(unsigned endpoint);
  // One bulk transfer with this interface's time-out: bytes moved, or a
  // negative transfer result (-1 without a device).
  int BulkRead(unsigned endpoint, void* buffer, size_t length);
  int BulkWrite(unsigned endpoint, const void* buffer, size_t length);
  // A vendor write to controller RAM (request 0xA0): bytes written or negative.
  int WriteControllerRam(uint16_t address, const void* data, size_t length);
  // Device reset: the controller re-enumerates, this handle is stale afterwards.
  int Reset();

  // One command transaction: the 64-byte request goes to endpoint 0x01, the
  // response is read from 0x81 into the same buffer. Returns the read result
  // (-1 without a device); acceptance is the caller's look at the buffer.
  int Transaction(uint8_t* buffer64);

  // Hands the device back without releasing or closing it (a borrowed handle).
  usb_dev_handle* Detach();

  usb_dev_handle* device = nullptr;
  uint32_t timeoutMs = kDefaultTimeoutMs;
};

// Releases interface 0 and closes a device opened by the search (no-op for null).
void ReleaseAndClose(usb_dev_handle* device);

}  // namespace orvex
