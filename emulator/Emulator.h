// Process-wide state of the emulator: the cameras, the bus they appear on,
// the open handles and the transaction log. One recursive lock guards it, so
// the control API may be called from any thread.
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
  std::vector<std::unique_ptr<VirtualCamera>> cameras;
  usb_bus bus{};
  bool busFound = false;
  std::vector<std::unique_ptr<struct usb_device>> devices;  // every device ever enumerated (stale pointers stay valid)
  std::vector<struct usb_device*> current;                  // per camera: its device in the bus list
  std::vector<unsigned> currentGeneration;
  std::set<usb_dev_handle*> handles;
  int nextHandleId = 1;
  uint8_t nextDevnum = 1;
  int debugLevel = 0;
  std::vector<OrvexEmuEvent> log;
};

// The state, configured from the environment at first use. Never destroyed:
// the library under test may close its devices during process exit.
Emulator& State();

// Replaces the cameras; open handles turn stale.
void InstallCameras(Emulator& state, const EmulatorConfig& config);

// The live camera of a handle, or null when the handle is unknown or stale.
VirtualCamera* CameraOf(Emulator& state, usb_dev_handle* handle);

void LogEvent(Emulator& state, const OrvexEmuEvent& event);
OrvexEmuEvent MakeEvent(int camera, uint32_t kind);

}  // namespace orvex_emu
