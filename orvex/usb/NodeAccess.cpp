#include "usb/NodeAccess.h"

#include <fcntl.h>
#include <unistd.h>
#include <usb.h>

#include <cerrno>

namespace orvex {

std::string DeviceNodePath(const struct usb_device* device) {
  if (!device || !device->bus) return {};
  return std::string("/dev/bus/usb/") + device->bus->dirname + "/" + device->filename;
}

std::string RefusalText(const struct usb_device* device, int result) {
  std::string node = DeviceNodePath(device);
  if (node.empty()) return {};
  if (result == -EBUSY) return "The camera at " + node + " is in use by another program.";
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
