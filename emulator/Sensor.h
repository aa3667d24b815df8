// The sensor behind endpoint 0x82 of a virtual camera.
//
// The emulator owns the USB side (faults, short and zero-length transfers,
// the FPGA state); the sensor only produces the bytes of one raw acquisition.
// Replace Sensor.cpp to change the scene; nothing else in the emulator knows
// how a frame looks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvex_emu {

// Per-camera state handed to every sensor call. The emulator fills the
// descriptive fields; `state` belongs to the sensor (allocate on first use,
// free in SensorRelease).
struct SensorContext {
  unsigned cameraIndex = 0;      // position of the camera in the configuration
  std::string serial;            // serial number the camera reports
  std::string scene;             // free text of the "scene" configuration key
  uint64_t acquisitionCount = 0; // reads served so far (starts at the "acquisitions" key)
  uint64_t timeNs = 0;           // emulated time, advanced by the sensor as it likes
  void* state = nullptr;         // owned by the sensor
};

// Writes one raw acquisition for the given register bank (256 bytes, the
// device-side values) into buffer. `length` is what the host asked for in one
// bulk read; the result is the number of bytes produced (at most length).
size_t SensorRead(const uint8_t* registers256, uint8_t* buffer, size_t length, SensorContext& context);

// Size of one whole acquisition for the register bank (0: the sensor sends
// nothing, held or waiting for a trigger that does not come), and how long the
// sensor takes to expose it.
size_t SensorAcquisitionBytes(const uint8_t* registers256, SensorContext& context);
uint64_t SensorAcquisitionNs(const uint8_t* registers256);

// Called when the camera disappears for good (emulator reconfigured or unloaded).
void SensorRelease(SensorContext& context);

}  // namespace orvex_emu
