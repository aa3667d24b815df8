// Finding cameras on the bus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct usb_dev_handle;

namespace orvex {

// Longest serial filter of the open string; a longer "serial=" value cannot
// name any camera, so the search finds none.
constexpr size_t kMaxSerialFilter = 31;

// The device-selection keys of an open string: the first of "serial=" and
// "verbose=" counts, the other is ignored.
struct DeviceSelection {
  bool filterBySerial = false;
  std::string serial;
  bool serialTooLong = false;
  int verbose = 0;
};
DeviceSelection ParseDeviceSelection(const char* openString);

// Low bytes of the 16-bit characters of a string-descriptor reply of
// `length` bytes (the reply length, which the caller has bounded by its
// buffer); at most maxChars characters.
std::string SerialFromStringDescriptor(const char* reply, int length, size_t maxChars);

bool IsAcceptedIdentity(uint16_t vendorId, uint16_t productId);
// A Cypress FX2 that booted without firmware.
bool IsBareController(usb_dev_handle* device);

// One pass over the bus: the first accepted device that matches the filter,
// opened with configuration 1 and interface 0 claimed; null when none. A
// matching camera that was refused (in use elsewhere, no permission on its
// node) is explained in `refusal` when given.
usb_dev_handle* FindCameraDevice(const DeviceSelection& selection, std::string* refusal = nullptr);

// The first device of any identity that opens, configures and claims.
usb_dev_handle* FirstAvailableDevice();

// Writes 17-byte serial entries for every accepted device; returns their
// number. Without a buffer the devices are only counted.
uint32_t ListSerials(char* buffer);

// What a listing shows of one camera on the bus, copied while the bus list is
// locked; serial empty when the device could not be opened or names none.
struct CameraOnBus {
  uint16_t vendorId = 0, productId = 0;
  bool opened = false;
  bool namesSerial = false;  // the device descriptor names a serial string
  std::string serial;
};
// Opens each camera only to read its serial string: no claim, no reset, so a
// camera another program holds is left alone.
std::vector<CameraOnBus> CamerasOnBus();

// The serial string of an open device (at most 16 characters); empty when
// the device names none or the descriptor cannot be read.
std::string ReadSerialString(usb_dev_handle* device);

}  // namespace orvex
