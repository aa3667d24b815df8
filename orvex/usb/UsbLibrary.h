// The libusb-0.1 library, bound at first use. Nothing in libOrvex links
// against it: every function is looked up by name, so the library loads on
// systems without USB support and the emulator can stand in for it.
#pragma once

#include <usb.h>

namespace orvex {

struct UsbApi {
  void (*init)();
  void (*set_debug)(int);
  int (*find_busses)();
  int (*find_devices)();
  struct usb_bus* (*get_busses)();
  usb_dev_handle* (*open)(struct usb_device*);
  int (*close)(usb_dev_handle*);
  int (*get_string)(usb_dev_handle*, int, int, char*, size_t);
  int (*bulk_write)(usb_dev_handle*, int, const char*, int, int);
  int (*bulk_read)(usb_dev_handle*, int, char*, int, int);
  int (*control_msg)(usb_dev_handle*, int, int, int, int, char*, int, int);
  int (*set_configuration)(usb_dev_handle*, int);
  int (*claim_interface)(usb_dev_handle*, int);
  int (*release_interface)(usb_dev_handle*, int);
  int (*clear_halt)(usb_dev_handle*, unsigned int);
  int (*reset)(usb_dev_handle*);
  struct usb_device* (*device)(usb_dev_handle*);
};

// Loads and binds the library once per process: 0, or -1 after reporting
// "libusb0 Load Library failed!". A failed load is tried again next time.
int LoadUsbLibrary();

// The bound functions; only valid after LoadUsbLibrary() returned 0.
const UsbApi& Usb();

// Initialises the library at most once per process (after a successful load).
void InitUsbOnce();

}  // namespace orvex
