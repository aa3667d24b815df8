#include "usb/UsbInterface.h"

#include <cerrno>
#include <climits>

#include "usb/UsbLibrary.h"

namespace orvex {
namespace {

constexpr unsigned kCommandOut = 0x01;
constexpr unsigned kCommandIn = 0x81;

// libusb-0.1 gives a whole transfer one time-out, however many 16 KiB URBs
// it takes; an acquisition of many megabytes needs time for its bytes on top
// of the device's time to answer. Assumes the slowest link a camera runs on.
constexpr uint64_t kSlowestLinkBytesPerMs = 8000;

int Timeout(uint32_t milliseconds, size_t length = 0) {
  uint64_t total = uint64_t{milliseconds} + length / kSlowestLinkBytesPerMs;
  return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

// libusb-0.1 counts in int: a larger transfer is cut rather than wrapped.
int TransferLength(size_t length) { return length > INT_MAX ? INT_MAX : static_cast<int>(length); }

}  // namespace

void ReleaseAndClose(usb_dev_handle* device) {
  if (!device) return;
  Usb().release_interface(device, 0);
  Usb().close(device);
}

CUsbInterface::~CUsbInterface() { ReleaseAndClose(device); }

usb_dev_handle* CUsbInterface::Detach() {
  usb_dev_handle* borrowed = device;
  device = nullptr;
  return borrowed;
}

int CUsbInterface::ClearHalt(unsigned endpoint) {
  if (!device) return -1;
  return Usb().clear_halt(device, endpoint);
}

int CUsbInterface::BulkRead(unsigned endpoint, void* buffer, size_t length) {
  if (!device) return -1;
  int result = Usb().bulk_read(device, static_cast<int>(endpoint), static_cast<char*>(buffer),
                               TransferLength(length), Timeout(timeoutMs, length));
  // A stalled endpoint stays halted until the host clears it. libusb-0.1 on
  // usbfs reports the stall as an empty transfer, other builds as -EPIPE:
  // either way the halt is cleared and the caller sees nothing received.
  if ((result == 0 && length > 0) || result == -EPIPE) {
    Usb().clear_halt(device, endpoint);
    return 0;
  }
  return result;
}

int CUsbInterface::BulkWrite(unsigned endpoint, const void* buffer, size_t length) {
  if (!device) return -1;
  return Usb().bulk_write(device, static_cast<int>(endpoint), static_cast<const char*>(buffer),
                          TransferLength(length), Timeout(timeoutMs, length));
}

int CUsbInterface::WriteControllerRam(uint16_t address, const void* data, size_t length) {
  if (!device) return -1;
  constexpr int kVendorOut = 0x40;
  constexpr int kFirmwareLoad = 0xA0;
  return Usb().control_msg(device, kVendorOut, kFirmwareLoad, address, 0,
                           const_cast<char*>(static_cast<const char*>(data)), TransferLength(length),
                           Timeout(timeoutMs));
}

int CUsbInterface::Reset() {
  if (!device) return -1;
  return Usb().reset(device);
}

int CUsbInterface::Transaction(uint8_t* buffer64) {
  BulkWrite(kCommandOut, buffer64, kPacketBytes);
  return BulkRead(kCommandIn, buffer64, kPacketBytes);
}

}  // namespace orvex
