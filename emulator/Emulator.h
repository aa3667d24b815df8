// Process-wide state of the emulator: the cameras, the bus they appear on,
// the open handles and the transaction log. The state lock guards the bus and
// the handles and is held only briefly; each camera has its own lock, taken
// after the state lock when both are needed. Transfers hold neither while
// they wait, so cameras used from different threads never wait for each other.
#pragma once

#include <usb.h>

#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "EmulatorControl.h"
#include "VirtualCamera.h"

// libusb-0.1 keeps the handle type opaque; this is ours.
struct usb_dev_handle {
  int id;
  unsigned epoch;       // configuration the handle belongs to
  int camera;
  unsigned generation;  // enumeration of the camera it was opened on
  struct usb_device* device;
};

namespace orvex_emu {

constexpr size_t kLogLimit = 100000;

struct Emulator {
  std::recursive_mutex mutex;
  unsigned epoch = 0;
  // Shared: a transfer in another thread keeps a replaced camera alive.
  std::vector<std::shared_ptr<VirtualCamera>> cameras;
  usb_bus bus{};
  bool busFound = false;
  std::vector<std::unique_ptr<struct usb_device>> devices;  // every device ever enumerated (stale pointers stay valid)
  std::vector<struct usb_device*> current;                  // per camera: its device in the bus list
  std::vector<unsigned> currentGeneration;
  std::set<usb_dev_handle*> handles;
  int nextHandleId = 1;
  uint8_t nextDevnum = 1;
  int debugLevel = 0;
  std::mutex logMutex;  // taken last, never held while taking another lock
  std::vector<OrvexEmuEvent> log;
};

// The camera a handle was opened on, resolved under the state lock.
struct HandleTarget {
  std::shared_ptr<VirtualCamera> camera;  // null: unknown or stale handle
  int index = -1;
  unsigned generation = 0;
  // True when the camera still is the device the handle was opened on;
  // call with the camera's lock held.
  bool Live() const { return camera && camera->Plugged() && camera->Generation() == generation; }
};
HandleTarget TargetOf(Emulator& state, usb_dev_handle* handle);

// The state, configured from the environment at first use. Never destroyed:
// the library under test may close its devices during process exit.
Emulator& State();

// Replaces the cameras; open handles turn stale.
void InstallCameras(Emulator& state, const EmulatorConfig& config);

void LogEvent(Emulator& state, const OrvexEmuEvent& event);
OrvexEmuEvent MakeEvent(int camera, uint32_t kind);

}  // namespace orvex_emu
