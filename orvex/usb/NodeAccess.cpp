#include "usb/NodeAccess.h"

#include <fcntl.h>
#include <unistd.h>
#include <usb.h>

#include <cerrno>
#include <cstdint>

namespace orvex {
namespace {

// True when the node is that device: its descriptor, which any user may read,
// names the same identity. (A library standing in for libusb-0.1 lists
// devices whose paths may belong to other devices of this machine.)
bool NodeShows(const std::string& node, const struct usb_device& device) {
  int fd = open(node.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  uint8_t descriptor[USB_DT_DEVICE_SIZE] = {};
  ssize_t n = read(fd, descriptor, sizeof descriptor);
  close(fd);
  return n == USB_DT_DEVICE_SIZE && (descriptor[8] | descriptor[9] << 8) == device.descriptor.idVendor &&
         (descriptor[10] | descriptor[11] << 8) == device.descriptor.idProduct;
}

}  // namespace

std::string DeviceNodePath(const struct usb_device* device) {
  if (!device || !device->bus) return {};
  return std::string("/dev/bus/usb/") + device->bus->dirname + "/" + device->filename;
}

std::string RefusalText(const struct usb_device* device, int result) {
  std::string node = DeviceNodePath(device);
  if (node.empty()) return {};
  if (result == -EBUSY) return "The camera at " + node + " is in use by another program.";
  if (!NodeShows(node, *device)) return {};
  // libusb-0.1 opens a node it may only read, and then fails later: ask the
  // node itself whether this user may use it.
  int fd = open(node.c_str(), O_RDWR | O_CLOEXEC);
  if (fd >= 0) {
    close(fd);
    return {};
  }
  if (errno != EACCES && errno != EPERM) return {};
  return "Permission denied on the camera's USB device node " + node +
         ". Install the udev rule 60-orvex-camera.rules (cmake --install puts it into the prefix's "
         "lib/udev/rules.d; copy it to /etc/udev/rules.d for another prefix), then plug the camera in again.";
}

}  // namespace orvex
