// The libusb-0.1 programming interface over the virtual cameras. Return
// conventions follow libusb-0.1: byte counts, 0 for success, negative errno
// values for failures.
#include <usb.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "Descriptors.h"
#include "Emulator.h"

using namespace orvex_emu;

struct usb_bus* usb_busses = nullptr;

namespace {

// One configuration, one interface, the four bulk endpoints of the camera.
usb_endpoint_descriptor g_endpoints[4] = {
    {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, 0x01, USB_ENDPOINT_TYPE_BULK, 512, 0, 0, 0, nullptr, 0},
    {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, 0x81, USB_ENDPOINT_TYPE_BULK, 512, 0, 0, 0, nullptr, 0},
    {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, 0x08, USB_ENDPOINT_TYPE_BULK, 512, 0, 0, 0, nullptr, 0},
    {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, 0x82, USB_ENDPOINT_TYPE_BULK, 512, 0, 0, 0, nullptr, 0}};
usb_interface_descriptor g_altsetting = {USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, 0, 0, 4, 0xFF, 0, 0, 0,
                                         g_endpoints, nullptr, 0};
usb_interface g_interface = {&g_altsetting, 1};
usb_config_descriptor g_config = {USB_DT_CONFIG_SIZE, USB_DT_CONFIG,
                                  USB_DT_CONFIG_SIZE + USB_DT_INTERFACE_SIZE + 4 * USB_DT_ENDPOINT_SIZE,
                                  1, 1, 0, 0x80, 50, &g_interface, nullptr, 0};

thread_local char g_errorText[128] = "no error";

int Fail(int code, const char* what) {
  std::snprintf(g_errorText, sizeof g_errorText, "%s: error %d", what, code);
  return code;
}

usb_device_descriptor DescriptorOf(const VirtualCamera& camera) {
  usb_device_descriptor d{};
  d.bLength = USB_DT_DEVICE_SIZE;
  d.bDescriptorType = USB_DT_DEVICE;
  d.bcdUSB = 0x0200;
  d.bDeviceClass = 0xFF;  // vendor specific, firmware or not
  d.bMaxPacketSize0 = 64;
  d.idVendor = camera.VendorId();
  d.idProduct = camera.ProductId();
  d.bcdDevice = camera.DeviceId();
  d.iManufacturer = camera.FirmwareRunning() ? 1 : 0;
  d.iProduct = camera.FirmwareRunning() ? 2 : 0;
  d.iSerialNumber = camera.HasSerialString() ? 3 : 0;
  d.bNumConfigurations = 1;
  return d;
}

void KeepData(OrvexEmuEvent& event, const void* data, int size) {
  if (!data || size <= 0) return;
  event.dataLength = uint32_t(std::min(size, 64));
  std::memcpy(event.data, data, event.dataLength);
}

// Standard descriptors as a device would return them for GET_DESCRIPTOR.
int ReadDescriptor(VirtualCamera& camera, int type, int index, void* buffer, int size) {
  std::vector<uint8_t> bytes = StandardDescriptor(camera, type, index);
  if (bytes.empty()) return kErrPipe;
  if (size < 0 || (size > 0 && !buffer)) return kErrInvalid;
  int n = std::min(int(bytes.size()), size);
  std::memcpy(buffer, bytes.data(), size_t(n));
  return n;
}

// The handle's camera with its lock held: fn(camera) when the handle is
// live, -19 otherwise. The event names the camera either way.
template <class Fn>
int OnCamera(usb_dev_handle* dev, OrvexEmuEvent& event, Fn fn) {
  HandleTarget target = TargetOf(State(), dev);
  event.camera = target.index;
  if (!target.camera) return kErrNoDevice;
  std::lock_guard<std::mutex> lock(target.camera->Mutex());
  return target.Live() ? fn(*target.camera) : kErrNoDevice;
}

int Logged(OrvexEmuEvent& event, int result, const char* what) {
  event.result = result;
  LogEvent(State(), event);
  return result < 0 ? Fail(result, what) : result;
}

// One bulk transfer the way the host sees it: the device is asked again
// whenever it said when it can answer, with no lock held in between. The
// stand-in answers "nothing will come" with the time-out at once, which keeps
// fault-heavy tests fast; a paced answer that comes too late waits for the
// full time-out as on a real bus.
int BulkTransfer(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout, OrvexEmuEvent& event) {
  HandleTarget target = TargetOf(State(), dev);
  event.camera = target.index;
  if (!target.camera) return kErrNoDevice;
  const bool in = (ep & USB_ENDPOINT_IN) != 0;
  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline =
      timeout > 0 ? start + std::chrono::milliseconds(timeout) : Clock::time_point::max();
  {
    std::lock_guard<std::mutex> lock(target.camera->Mutex());
    if (!target.Live()) return kErrNoDevice;
    target.camera->StartTransfer(ep);
  }
  for (;;) {
    DeviceAnswer answer;
    {
      std::lock_guard<std::mutex> lock(target.camera->Mutex());
      if (!target.Live()) return kErrNoDevice;
      Clock::time_point now = Clock::now();
      answer = in ? target.camera->BulkIn(ep, reinterpret_cast<uint8_t*>(bytes), size, now)
                  : target.camera->BulkOut(ep, reinterpret_cast<const uint8_t*>(bytes), size, now);
    }
    if (!answer.pending) return answer.result;
    if (answer.retryAt == Clock::time_point::max()) return kErrTimeout;
    if (answer.retryAt > deadline) {
      std::this_thread::sleep_until(deadline);
      return kErrTimeout;
    }
    std::this_thread::sleep_until(answer.retryAt);
  }
}

}  // namespace

extern "C" {

void usb_init(void) { State(); }

void usb_set_debug(int level) {
  Emulator& state = State();
  {
    std::lock_guard<std::recursive_mutex> lock(state.mutex);
    state.debugLevel = level;
  }
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_SET_DEBUG);
  event.value = level;
  LogEvent(state, event);
}

int usb_find_busses(void) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  if (state.busFound) return 0;
  state.busFound = true;
  std::snprintf(state.bus.dirname, sizeof state.bus.dirname, "001");
  state.bus.location = 1;
  usb_busses = &state.bus;
  return 1;
}

int usb_find_devices(void) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  int changes = 0;
  for (size_t i = 0; i < state.cameras.size(); ++i) {
    VirtualCamera& camera = *state.cameras[i];
    std::lock_guard<std::mutex> cameraLock(camera.Mutex());
    if (state.current[i] && (!camera.Plugged() || state.currentGeneration[i] != camera.Generation())) {
      state.current[i] = nullptr;
      ++changes;
    }
    if (camera.Plugged() && !state.current[i]) {
      auto device = std::make_unique<struct usb_device>();
      std::memset(device.get(), 0, sizeof *device);
      if (state.nextDevnum == 0) state.nextDevnum = 1;
      device->devnum = state.nextDevnum++;
      std::snprintf(device->filename, sizeof device->filename, "%03u", unsigned(device->devnum));
      device->bus = &state.bus;
      device->descriptor = DescriptorOf(camera);
      device->config = &g_config;
      state.current[i] = device.get();
      state.currentGeneration[i] = camera.Generation();
      state.devices.push_back(std::move(device));
      ++changes;
    }
  }
  struct usb_device* previous = nullptr;
  state.bus.devices = nullptr;
  for (struct usb_device* device : state.current) {
    if (!device) continue;
    device->prev = previous;
    device->next = nullptr;
    if (previous)
      previous->next = device;
    else
      state.bus.devices = device;
    previous = device;
  }
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_FIND_DEVICES);
  event.result = changes;
  LogEvent(state, event);
  return changes;
}

struct usb_bus* usb_get_busses(void) { return usb_busses; }

usb_dev_handle* usb_open(struct usb_device* dev) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  for (size_t i = 0; i < state.current.size(); ++i) {
    if (!dev || state.current[i] != dev) continue;
    VirtualCamera& camera = *state.cameras[i];
    std::lock_guard<std::mutex> cameraLock(camera.Mutex());
    OrvexEmuEvent event = MakeEvent(int(i), ORVEX_EMU_OPEN);
    bool usable = camera.Plugged() && camera.Generation() == state.currentGeneration[i] && !camera.TakeOpenFault();
    event.result = usable ? 0 : -1;
    LogEvent(state, event);
    if (!usable) return nullptr;
    auto* handle = new usb_dev_handle{state.nextHandleId++, state.epoch, int(i), camera.Generation(), dev};
    state.handles.insert(handle);
    return handle;
  }
  Fail(kErrNoDevice, "usb_open");
  return nullptr;
}

int usb_close(usb_dev_handle* dev) {
  Emulator& state = State();
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_CLOSE);
  OnCamera(dev, event, [&](VirtualCamera& camera) {
    camera.ReleaseInterface(dev->id);
    return 0;
  });
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  if (!dev || !state.handles.count(dev)) return Fail(kErrInvalid, "usb_close");
  event.camera = dev->camera;
  LogEvent(state, event);
  state.handles.erase(dev);
  delete dev;
  return 0;
}

struct usb_device* usb_device(usb_dev_handle* dev) {
  Emulator& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  return dev && state.handles.count(dev) ? dev->device : nullptr;
}

int usb_get_string(usb_dev_handle* dev, int index, int langid, char* buf, size_t buflen) {
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_GET_STRING);
  event.index = index;
  event.value = langid;
  event.length = uint32_t(std::min<size_t>(buflen, 0xFFFF));
  int result = OnCamera(dev, event, [&](VirtualCamera& camera) {
    return ReadDescriptor(camera, USB_DT_STRING, index & 0xFF, buf, int(event.length));
  });
  if (result > 0) KeepData(event, buf, result);
  return Logged(event, result, "usb_get_string");
}

int usb_get_string_simple(usb_dev_handle* dev, int index, char* buf, size_t buflen) {
  if (!buf || buflen == 0) return Fail(kErrInvalid, "usb_get_string_simple");
  char raw[256];
  int n = usb_get_string(dev, index, 0x0409, raw, sizeof raw);
  if (n < 0) return n;
  if (n < 2 || raw[1] != USB_DT_STRING) return Fail(kErrIo, "usb_get_string_simple");
  size_t chars = std::min<size_t>((size_t(n) - 2) / 2, buflen - 1);
  for (size_t i = 0; i < chars; ++i) buf[i] = raw[3 + 2 * i] ? '?' : raw[2 + 2 * i];
  buf[chars] = '\0';
  return int(chars);
}

int usb_get_descriptor(usb_dev_handle* udev, unsigned char type, unsigned char index, void* buf, int size) {
  OrvexEmuEvent unlogged = MakeEvent(-1, 0);
  int result = OnCamera(udev, unlogged,
                        [&](VirtualCamera& camera) { return ReadDescriptor(camera, type, index, buf, size); });
  return result < 0 ? Fail(result, "usb_get_descriptor") : result;
}

int usb_get_descriptor_by_endpoint(usb_dev_handle* udev, int /*ep*/, unsigned char type, unsigned char index,
                                   void* buf, int size) {
  return usb_get_descriptor(udev, type, index, buf, size);
}

int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout) {
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_BULK_WRITE);
  event.endpoint = uint32_t(ep);
  event.length = uint32_t(size);
  KeepData(event, bytes, size);
  int result = BulkTransfer(dev, ep, const_cast<char*>(bytes), size, timeout, event);
  return Logged(event, result, "usb_bulk_write");
}

int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_BULK_READ);
  event.endpoint = uint32_t(ep);
  event.length = uint32_t(size);
  int result = BulkTransfer(dev, ep | USB_ENDPOINT_IN, bytes, size, timeout, event);
  if (result > 0) KeepData(event, bytes, result);
  return Logged(event, result, "usb_bulk_read");
}

int usb_interrupt_write(usb_dev_handle* /*dev*/, int /*ep*/, const char* /*bytes*/, int /*size*/, int /*timeout*/) {
  return Fail(kErrPipe, "usb_interrupt_write");
}

int usb_interrupt_read(usb_dev_handle* /*dev*/, int /*ep*/, char* /*bytes*/, int /*size*/, int /*timeout*/) {
  return Fail(kErrPipe, "usb_interrupt_read");
}

int usb_control_msg(usb_dev_handle* dev, int requesttype, int request, int value, int index, char* bytes, int size,
                    int /*timeout*/) {
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_CONTROL);
  event.requestType = requesttype;
  event.request = request;
  event.value = value;
  event.index = index;
  event.length = uint32_t(size);
  if (!(requesttype & USB_ENDPOINT_IN)) KeepData(event, bytes, size);
  int result = OnCamera(dev, event, [&](VirtualCamera& camera) {
    if ((requesttype & 0x60) == USB_TYPE_STANDARD && request == USB_REQ_GET_DESCRIPTOR)
      return ReadDescriptor(camera, (value >> 8) & 0xFF, value & 0xFF, bytes, size);
    return camera.ControlTransfer(requesttype, request, value, index, reinterpret_cast<uint8_t*>(bytes), size);
  });
  if ((requesttype & USB_ENDPOINT_IN) && result > 0) KeepData(event, bytes, result);
  return Logged(event, result, "usb_control_msg");
}

int usb_set_configuration(usb_dev_handle* dev, int configuration) {
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_SET_CONFIGURATION);
  event.value = configuration;
  int result = OnCamera(dev, event, [&](VirtualCamera&) { return configuration == 1 ? 0 : kErrInvalid; });
  return Logged(event, result, "usb_set_configuration");
}

int usb_claim_interface(usb_dev_handle* dev, int interface) {
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_CLAIM);
  event.value = interface;
  int result = OnCamera(dev, event, [&](VirtualCamera& camera) {
    if (interface != 0) return kErrInvalid;
    return camera.TakeClaimFault() || !camera.ClaimInterface(dev->id) ? kErrBusy : 0;
  });
  return Logged(event, result, "usb_claim_interface");
}

int usb_release_interface(usb_dev_handle* dev, int interface) {
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_RELEASE);
  event.value = interface;
  int result = OnCamera(dev, event, [&](VirtualCamera& camera) {
    if (interface == 0) camera.ReleaseInterface(dev->id);
    return 0;
  });
  return Logged(event, result, "usb_release_interface");
}

int usb_set_altinterface(usb_dev_handle* dev, int alternate) {
  OrvexEmuEvent unlogged = MakeEvent(-1, 0);
  int result = OnCamera(dev, unlogged, [&](VirtualCamera&) { return alternate == 0 ? 0 : kErrInvalid; });
  return result < 0 ? Fail(result, "usb_set_altinterface") : 0;
}

int usb_clear_halt(usb_dev_handle* dev, unsigned int ep) {
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_CLEAR_HALT);
  event.endpoint = ep;
  int result = OnCamera(dev, event, [&](VirtualCamera& camera) {
    camera.ClearHalt(int(ep));
    return 0;
  });
  return Logged(event, result, "usb_clear_halt");
}

int usb_resetep(usb_dev_handle* dev, unsigned int ep) { return usb_clear_halt(dev, ep); }

int usb_reset(usb_dev_handle* dev) {
  OrvexEmuEvent event = MakeEvent(-1, ORVEX_EMU_RESET);
  int result = OnCamera(dev, event, [&](VirtualCamera& camera) {
    camera.Reset();
    return 0;
  });
  return Logged(event, result, "usb_reset");
}

int usb_get_driver_np(usb_dev_handle* /*dev*/, int /*interface*/, char* /*name*/, unsigned int /*namelen*/) {
  return Fail(-61, "usb_get_driver_np");  // -ENODATA: no kernel driver bound
}

int usb_detach_kernel_driver_np(usb_dev_handle* /*dev*/, int /*interface*/) {
  return Fail(-61, "usb_detach_kernel_driver_np");
}

char* usb_strerror(void) { return g_errorText; }

}  // extern "C"
