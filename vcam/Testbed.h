// The umockdev testbed of a session: a private /sys and /dev that programs
// started with the umockdev preload library see instead of the real ones.
#pragma once

#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

namespace orvex_vcam {

// A USB device as usbfs shows it: bus and device number, identity and the
// descriptor bytes a read() of the node returns.
struct UsbNodeRecord {
  unsigned port = 1;  // the hub port the camera is plugged into
  unsigned busnum = 1;
  unsigned devnum = 2;
  uint16_t vendorId = 0, productId = 0, deviceId = 0;
  std::string serial;
  std::vector<uint8_t> descriptors;  // device descriptor, then the configuration
};

class Testbed {
 public:
  // Creates the testbed and points UMOCKDEV_DIR of this process (and so of
  // its children) at it.
  Testbed();
  ~Testbed();
  Testbed(const Testbed&) = delete;
  Testbed& operator=(const Testbed&) = delete;

  std::string RootDir() const { return root_; }
  // Adds the device; its node is /dev/bus/usb/BBB/DDD. Returns the sysfs
  // path, empty on failure.
  std::string AddUsbDevice(const UsbNodeRecord& record);
  void Remove(const std::string& syspath, const std::string& devnode);
  // Routes the ioctls of a node to the handler.
  bool Attach(const std::string& devnode, UMockdevIoctlBase* handler);
  // File mode of a node as the testbed's programs meet it.
  bool SetNodeMode(const std::string& devnode, unsigned mode);

  static std::string NodePath(unsigned busnum, unsigned devnum);

 private:
  UMockdevTestbed* testbed_ = nullptr;
  std::string root_;
};

}  // namespace orvex_vcam
