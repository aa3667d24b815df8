#include "usb/UsbLibrary.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

#include "core/Messages.h"

namespace orvex {
namespace {

constexpr const char* kLibraryName = "libusb-0.1.so.4";

// Written once under g_bindLock before g_loaded turns true, read-only after.
UsbApi g_api{};
std::atomic<bool> g_loaded{false};
// usb_init must run once although several threads may open their first
// camera at the same moment.
std::mutex g_bindLock;
bool g_initialised = false;

template <class Fn>
bool Bind(void* library, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(dlsym(library, name));
  return slot != nullptr;
}

bool BindAll(void* library, UsbApi& api) {
  return Bind(library, "usb_init", api.init) && Bind(library, "usb_set_debug", api.set_debug) &&
         Bind(library, "usb_find_busses", api.find_busses) && Bind(library, "usb_find_devices", api.find_devices) &&
         Bind(library, "usb_get_busses", api.get_busses) && Bind(library, "usb_open", api.open) &&
         Bind(library, "usb_close", api.close) && Bind(library, "usb_get_string", api.get_string) &&
         Bind(library, "usb_bulk_write", api.bulk_write) && Bind(library, "usb_bulk_read", api.bulk_read) &&
         Bind(library, "usb_control_msg", api.control_msg) &&
         Bind(library, "usb_set_configuration", api.set_configuration) &&
         Bind(library, "usb_claim_interface", api.claim_interface) &&
         Bind(library, "usb_release_interface", api.release_interface) &&
         Bind(library, "usb_clear_halt", api.clear_halt) && Bind(library, "usb_reset", api.reset) &&
         Bind(library, "usb_device", api.device);
}

}  // namespace

int LoadUsbLibrary() {
  if (g_loaded.load()) return 0;
  std::unique_lock<std::mutex> lock(g_bindLock);
  if (g_loaded.load()) return 0;
  // The library stays loaded for the life of the process: device handles
  // and the bus list it hands out must never dangle.
  void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
  UsbApi api{};
  if (!library || !BindAll(library, api)) {
    if (library) dlclose(library);
    lock.unlock();  // the report may reach the application's callback
    Notify(nullptr, QV_MSG_TEXT, kMsgOpenWarning, "libusb0 Load Library failed!");
    return -1;
  }
  g_api = api;
  g_loaded.store(true);
  return 0;
}

const UsbApi& Usb() { return g_api; }

void InitUsbOnce() {
  if (!g_loaded.load()) return;
  std::lock_guard<std::mutex> lock(g_bindLock);
  if (g_initialised) return;
  g_api.init();
  g_initialised = true;
}

}  // namespace orvex
