#include "Testbed.h"

#include <sys/stat.h>
#include <unistd.h>
#include <umockdev.h>

#include <cstdio>
#include <stdexcept>

namespace orvex_vcam {
namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  char two[3];
  for (uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02X", b);
    text += two;
  }
  return text;
}

std::string Format(const char* format, unsigned a, unsigned b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

Testbed::Testbed() : testbed_(umockdev_testbed_new()) {
  if (!testbed_) throw std::runtime_error("cannot create the umockdev testbed");
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  root_ = root;
  g_free(root);
}

Testbed::~Testbed() { g_object_unref(testbed_); }

std::string Testbed::NodePath(unsigned busnum, unsigned devnum) {
  return Format("/dev/bus/usb/%03u/%03u", busnum, devnum);
}

std::string Testbed::AddUsbDevice(const UsbNodeRecord& r) {
  std::string syspath = Format("/sys/devices/pci0000:00/0000:00:14.0/usb%u/%u-", r.busnum, r.busnum) +
                        std::to_string(r.port);
  std::string hex = Hex(r.descriptors);
  std::string text = "P: " + syspath.substr(4) + "\n";
  text += "N: " + NodePath(r.busnum, r.devnum).substr(5) + "=" + hex + "\n";
  text += "E: DEVNAME=" + NodePath(r.busnum, r.devnum) + "\n";
  text += "E: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\n";
  text += Format("E: BUSNUM=%03u\nE: DEVNUM=%03u\n", r.busnum, r.devnum);
  text += Format("A: busnum=%u\nA: devnum=%u\nA: speed=480\n", r.busnum, r.devnum);
  text += Format("A: idVendor=%04x\nA: idProduct=%04x\n", r.vendorId, r.productId);
  text += Format("A: bcdDevice=%04x\n", r.deviceId);
  if (!r.serial.empty()) text += "A: serial=" + r.serial + "\n";
  text += "H: descriptors=" + hex + "\n";
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(testbed_, text.c_str(), &error)) {
    std::fprintf(stderr, "orvex-vcam: cannot add %s: %s\n", syspath.c_str(), error ? error->message : "?");
    if (error) g_error_free(error);
    return {};
  }
  return syspath;
}

// The testbed forgets the sysfs side only; the node goes as on a real bus, so
// that scans no longer list it while programs holding it open get -ENODEV.
void Testbed::Remove(const std::string& syspath, const std::string& devnode) {
  umockdev_testbed_remove_device(testbed_, syspath.c_str());
  unlink((root_ + devnode).c_str());
}

bool Testbed::Attach(const std::string& devnode, UMockdevIoctlBase* handler) {
  GError* error = nullptr;
  if (umockdev_testbed_attach_ioctl(testbed_, devnode.c_str(), handler, &error)) return true;
  std::fprintf(stderr, "orvex-vcam: cannot serve %s: %s\n", devnode.c_str(), error ? error->message : "?");
  if (error) g_error_free(error);
  return false;
}

bool Testbed::SetNodeMode(const std::string& devnode, unsigned mode) {
  return chmod((root_ + devnode).c_str(), mode) == 0;
}

}  // namespace orvex_vcam
