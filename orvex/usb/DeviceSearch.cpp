#include "usb/DeviceSearch.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

#include "usb/NodeAccess.h"
#include "usb/UsbLibrary.h"

namespace orvex {
namespace {

constexpr int kDebugLoud = 255;
constexpr size_t kSerialEntryBytes = 17;
constexpr int kShortSerialReply = 34;  // 2 + 2 x 16 characters
constexpr int kLongSerialReply = 256;

struct Identity {
  uint16_t vendorId, productId;
};
constexpr Identity kAcceptedIdentities[] = {{0x0852, 0x0081}, {0x04B4, 0x8613}, {0x1481, 0x0004}};

// libusb-0.1 keeps one bus list per process: a rescan relinks it and frees
// the entries of devices that went away. Every rescan, every walk of the list
// and every look at an entry holds this lock, so that a search in one thread
// never frees or rewrites what another thread is walking. The transfers of
// open systems never take it; only a search's own short control requests
// (serial strings, configuration and claim of a candidate) run under it.
std::mutex g_busListLock;

int ParseSignedDecimal(const char* text) {
  long long value = 0;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > INT_MAX) value = INT_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

// Raises the USB library's debug output for the scope when asked to.
class DebugScope {
 public:
  explicit DebugScope(bool loud) : loud_(loud) {
    if (loud_) Usb().set_debug(kDebugLoud);
  }
  ~DebugScope() {
    if (loud_) Usb().set_debug(0);
  }

 private:
  bool loud_;
};

bool Rescan() {
  InitUsbOnce();
  return Usb().find_busses() >= 0 && Usb().find_devices() >= 0;
}

// The serial-number string descriptor into buffer: the reply length, 0 when
// the device names none, negative when it cannot be read.
int ReadSerialDescriptor(usb_dev_handle* device, const usb_device_descriptor& descriptor, char* buffer, int size) {
  if (!descriptor.iSerialNumber) return 0;
  int length = Usb().get_string(device, descriptor.iSerialNumber, 0, buffer, static_cast<size_t>(size));
  return length > size ? size : length;
}

bool SerialMatches(usb_dev_handle* device, const usb_device_descriptor& descriptor, const DeviceSelection& selection) {
  if (selection.serialTooLong) return false;
  char reply[kLongSerialReply];
  int length = ReadSerialDescriptor(device, descriptor, reply, sizeof reply);
  // A device without a serial string never matches, not even an empty filter.
  if (length < 2 || static_cast<size_t>(length - 2) / 2 != selection.serial.size()) return false;
  return SerialFromStringDescriptor(reply, length, kLongSerialReply) == selection.serial;
}

// 0, or the negative result of the step that failed.
int ConfigureAndClaim(usb_dev_handle* device) {
  int result = Usb().set_configuration(device, 1);
  return result < 0 ? result : std::min(Usb().claim_interface(device, 0), 0);
}

void NoteRefusal(std::string* refusal, const struct usb_device* dev, int result) {
  if (refusal && refusal->empty()) *refusal = RefusalText(dev, result);
}

template <class Accept>
usb_dev_handle* FirstDevice(Accept&& accept, std::string* refusal) {
  std::lock_guard<std::mutex> lock(g_busListLock);
  DebugScope debug(accept.loud);
  if (!Rescan()) return nullptr;
  for (usb_bus* bus = Usb().get_busses(); bus; bus = bus->next) {
    for (struct usb_device* dev = bus->devices; dev; dev = dev->next) {
      if (!accept.Identity(dev->descriptor)) continue;
      usb_dev_handle* device = Usb().open(dev);
      if (!device) {
        NoteRefusal(refusal, dev, 0);
        continue;
      }
      if (!accept.Device(device, dev->descriptor)) {
        // On a node this user may not write, even the serial cannot be read.
        NoteRefusal(refusal, dev, 0);
        Usb().close(device);
        continue;
      }
      if (int result = ConfigureAndClaim(device); result < 0) {
        NoteRefusal(refusal, dev, result);
        Usb().close(device);
        continue;
      }
      return device;
    }
  }
  return nullptr;
}

// A copy, taken while no rescan can free the entry behind the handle.
bool DescriptorOf(usb_dev_handle* device, usb_device_descriptor& descriptor) {
  if (!device) return false;
  std::lock_guard<std::mutex> lock(g_busListLock);
  struct usb_device* dev = Usb().device(device);
  if (!dev) return false;
  descriptor = dev->descriptor;
  return true;
}

}  // namespace

std::string SerialFromStringDescriptor(const char* reply, int length, size_t maxChars) {
  std::string serial;
  if (!reply || length < 2) return serial;
  size_t chars = static_cast<size_t>(length - 2) / 2;
  if (chars > maxChars) chars = maxChars;
  for (size_t i = 0; i < chars; ++i) serial.push_back(reply[2 + 2 * i]);
  return serial;
}

DeviceSelection ParseDeviceSelection(const char* openString) {
  DeviceSelection selection;
  if (!openString) return selection;
  for (const char* at = openString; *at; ++at) {
    if (std::strncmp(at, "serial=", 7) == 0) {
      const char* value = at + 7;
      size_t length = std::strcspn(value, " ");
      selection.filterBySerial = true;
      selection.serialTooLong = length > kMaxSerialFilter;
      selection.serial.assign(value, selection.serialTooLong ? kMaxSerialFilter : length);
      return selection;
    }
    if (std::strncmp(at, "verbose=", 8) == 0) {
      selection.verbose = ParseSignedDecimal(at + 8);
      return selection;
    }
  }
  return selection;
}

bool IsAcceptedIdentity(uint16_t vendorId, uint16_t productId) {
  for (const Identity& identity : kAcceptedIdentities)
    if (identity.vendorId == vendorId && identity.productId == productId) return true;
  return false;
}

bool IsBareController(usb_dev_handle* device) {
  usb_device_descriptor descriptor{};
  return DescriptorOf(device, descriptor) && descriptor.idVendor == 0x04B4 && descriptor.idProduct == 0x8613;
}

usb_dev_handle* FindCameraDevice(const DeviceSelection& selection, std::string* refusal) {
  struct Accept {
    const DeviceSelection& selection;
    bool loud;
    bool Identity(const usb_device_descriptor& d) const { return IsAcceptedIdentity(d.idVendor, d.idProduct); }
    bool Device(usb_dev_handle* device, const usb_device_descriptor& d) const {
      return !selection.filterBySerial || SerialMatches(device, d, selection);
    }
  };
  return FirstDevice(Accept{selection, selection.verbose != 0}, refusal);
}

usb_dev_handle* FirstAvailableDevice() {
  struct Accept {
    bool loud = true;
    bool Identity(const usb_device_descriptor&) const { return true; }
    bool Device(usb_dev_handle*, const usb_device_descriptor&) const { return true; }
  };
  return FirstDevice(Accept{}, nullptr);
}

uint32_t ListSerials(char* buffer) {
  uint32_t count = 0;
  for (const CameraOnBus& camera : CamerasOnBus()) {
    if (!camera.opened) continue;
    if (buffer) {
      const std::string text = camera.namesSerial ? camera.serial : "0";
      std::memcpy(buffer + kSerialEntryBytes * count, text.c_str(), text.size() + 1);
    }
    ++count;
  }
  return count;
}

std::vector<CameraOnBus> CamerasOnBus() {
  std::vector<CameraOnBus> cameras;
  std::lock_guard<std::mutex> lock(g_busListLock);
  if (!Rescan()) return cameras;
  for (usb_bus* bus = Usb().get_busses(); bus; bus = bus->next) {
    for (struct usb_device* dev = bus->devices; dev; dev = dev->next) {
      if (!IsAcceptedIdentity(dev->descriptor.idVendor, dev->descriptor.idProduct)) continue;
      CameraOnBus camera;
      camera.vendorId = dev->descriptor.idVendor;
      camera.productId = dev->descriptor.idProduct;
      if (usb_dev_handle* device = Usb().open(dev)) {
        camera.opened = true;
        camera.namesSerial = dev->descriptor.iSerialNumber != 0;
        char reply[kShortSerialReply];
        int length = ReadSerialDescriptor(device, dev->descriptor, reply, sizeof reply);
        camera.serial = SerialFromStringDescriptor(reply, length, kSerialEntryBytes - 1);
        Usb().close(device);
      }
      cameras.push_back(std::move(camera));
    }
  }
  return cameras;
}

std::string ReadSerialString(usb_dev_handle* device) {
  usb_device_descriptor descriptor{};
  if (!DescriptorOf(device, descriptor)) return {};
  char reply[kShortSerialReply];
  int length = ReadSerialDescriptor(device, descriptor, reply, sizeof reply);
  return SerialFromStringDescriptor(reply, length, 16);
}

}  // namespace orvex
