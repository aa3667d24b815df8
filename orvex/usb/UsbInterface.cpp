#include "usb/UsbInterface.h"

#include <climits>

#include "usb/UsbLibrary.h"

namespace orvex {
namespace {

constexpr unsigned kCommandOut = 0x01;
constexpr unsigned kCommandIn = 0x81;

int Timeout(uint32_t milliseconds) { return milliseconds > INT_MAX ? INT_MAX : static_cast<int>(milliseconds); }

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
  return Usb().bulk_read(device, static_cast<int>(endpoint), static_cast<char*>(buffer), TransferLength(length),
                         Timeout(timeoutMs));
}

int CUsbInterface::BulkWrite(unsigned endpoint, const void* buffer, size_t length) {
  if (!device) return -1;
  return Usb().bulk_write(device, static_cast<int>(endpoint), static_cast<const char*>(buffer),
                          TransferLength(length), Timeout(timeoutMs));
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
