#include "usb/CameraList.h"

#include <cstring>
#include <string>

#include "usb/DeviceSearch.h"
#include "usb/UsbLibrary.h"

namespace orvex {
namespace {

void Describe(struct usb_device* dev, QV_CameraEntry& entry) {
  std::memset(&entry, 0, sizeof entry);
  entry.vendorId = dev->descriptor.idVendor;
  entry.productId = dev->descriptor.idProduct;
  usb_dev_handle* device = Usb().open(dev);
  if (!device) return;
  entry.firmware = IsBareController(device) ? 0 : 1;
  std::string serial = ReadSerialString(device);
  std::memcpy(entry.serial, serial.c_str(), serial.size() < 16 ? serial.size() : 16);
  Usb().close(device);
}

}  // namespace

uint32_t ListCameras(QV_CameraEntry* entries, uint32_t max) {
  InitUsbOnce();
  if (Usb().find_busses() < 0 || Usb().find_devices() < 0) return 0;
  uint32_t count = 0;
  for (usb_bus* bus = Usb().get_busses(); bus; bus = bus->next) {
    for (struct usb_device* dev = bus->devices; dev; dev = dev->next) {
      if (!IsAcceptedIdentity(dev->descriptor.idVendor, dev->descriptor.idProduct)) continue;
      if (entries && count < max) Describe(dev, entries[count]);
      ++count;
    }
  }
  return count;
}

}  // namespace orvex
