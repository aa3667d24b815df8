// One emulated camera: FX2 controller with its boot EEPROM, the command
// packet firmware, the FPGA with its register bank, and the sensor.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Config.h"
#include "Images.h"
#include "RegisterModel.h"
#include "Sensor.h"

namespace orvex_emu {

constexpr size_t kEepromBytes = 16384;
constexpr size_t kPacketBytes = 64;
constexpr size_t kMaxBitstreamBytes = 64u << 20;

// libusb-0.1 returns negative errno values.
constexpr int kErrNoDevice = -19;
constexpr int kErrInvalid = -22;
constexpr int kErrPipe = -32;
constexpr int kErrTimeout = -110;
constexpr int kErrIo = -5;
constexpr int kErrBusy = -16;

using Clock = std::chrono::steady_clock;

// What the device does with a host transfer at a moment: it moves bytes, or
// answers with an error (-19 gone, -32 stall, -5 transfer error), or has
// nothing to send or take yet. A pending transfer is asked again at retryAt
// (never by itself when that is Clock::time_point::max()): the host's
// time-out decides when it gives up.
struct DeviceAnswer {
  int result = 0;
  bool pending = false;
  Clock::time_point retryAt = Clock::time_point::max();
  static DeviceAnswer Pending(Clock::time_point at = Clock::time_point::max()) { return {0, true, at}; }
};

class VirtualCamera {
 public:
  VirtualCamera(unsigned index, const CameraConfig& config);
  ~VirtualCamera();
  VirtualCamera(const VirtualCamera&) = delete;
  VirtualCamera& operator=(const VirtualCamera&) = delete;

  // Enumeration: a new generation starts at every power-up and re-enumeration;
  // handles of an older generation are stale.
  bool Plugged() const { return plugged_; }
  unsigned Generation() const { return generation_; }
  uint16_t VendorId() const;
  uint16_t ProductId() const;
  uint16_t DeviceId() const;
  bool FirmwareRunning() const { return running_; }
  bool HasSerialString() const { return running_ && !serial_.empty(); }
  // The string descriptor of an index (0 = languages, 3 = serial); empty if none.
  std::vector<uint8_t> StringDescriptor(int index) const;

  void Unplug();
  void PowerUp();

  // Every host transfer (a usbfs URB) starts here: an unplug fault pulls the
  // cable at this point, and a time-out fault decides that the device lets
  // this transfer wait until the host gives up.
  void StartTransfer(int endpoint);
  // One attempt at a started transfer. Repeated attempts of a pending
  // transfer change nothing until the device can answer.
  DeviceAnswer BulkIn(int endpoint, uint8_t* data, int size, Clock::time_point now);
  DeviceAnswer BulkOut(int endpoint, const uint8_t* data, int size, Clock::time_point now);
  // A whole transfer in one call: waits while the device paces it, answers
  // -110 at once when nothing will come by itself.
  int BulkWrite(int endpoint, const uint8_t* data, int size);
  int BulkRead(int endpoint, uint8_t* data, int size);
  void ClearHalt(int endpoint);
  int ControlTransfer(int requestType, int request, int value, int index, uint8_t* data, int size);
  void Reset();

  bool ClaimInterface(int owner);
  int InterfaceOwner() const { return interfaceOwner_; }
  void ReleaseInterface(int owner);
  bool TakeOpenFault() { return config_.faults.openFailures.Take(); }
  bool TakeClaimFault() { return config_.faults.claimFailures.Take(); }

  // Control-API access.
  CameraConfig& Config() { return config_; }
  void RebuildEeprom();
  void ReloadRegisterModel() { LoadModel(); }
  std::array<uint8_t, kEepromBytes>& Eeprom() { return eeprom_; }
  std::array<uint8_t, 256>& Registers() { return registers_; }
  bool FpgaConfigured() const { return fpgaConfigured_; }
  // Guards this camera; transports hold it for one attempt, never while waiting.
  std::mutex& Mutex() { return mutex_; }
  unsigned FpgaDownloads() const { return fpgaDownloads_; }

 private:
  void Enumerate();
  void BootFromEeprom();
  void StartCpu();
  void HandleCommand(const uint8_t* request);
  bool HandleRegisterCommand(uint8_t* response);
  bool HandleFpgaCommand(uint8_t* response);
  bool HandleEepromCommand(uint8_t* response, bool write);
  void ApplyResponseFaults(uint8_t* response, int& length);
  uint8_t ReadRegister(uint8_t address);
  void LoadModel();
  void CountAcquisition();
  DeviceAnswer ReadSensorStream(uint8_t* data, int size, Clock::time_point now);
  bool FillSensorStream(Clock::time_point now, Clock::time_point& readyAt);
  Clock::time_point LinkReadyAt(Clock::time_point now) const;
  void ChargeLink(size_t bytes, Clock::time_point now);
  void FlushSensorStream();
  void WriteRegister(uint8_t address, uint8_t value);

  unsigned index_;
  CameraConfig config_;
  bool plugged_ = false;
  unsigned generation_ = 0;
  std::array<uint8_t, kEepromBytes> eeprom_{};
  std::vector<uint8_t> ram_;
  bool cpuHeld_ = false;
  bool running_ = false;          // enumerated with camera firmware
  bool cpuStarted_ = false;       // CPU released after an upload, waits for a reset
  bool firmwareFault_ = false;    // the started upload is doomed (fault injection)
  FirmwareIdentity identity_;
  std::string serial_;
  int interfaceOwner_ = 0;        // 0 = interface 0 not claimed
  std::optional<std::array<uint8_t, kPacketBytes>> response_;
  int responseLength_ = 0;
  bool fpgaConfigured_ = false;
  bool fpgaReceiving_ = false;
  unsigned fpgaDownloads_ = 0;
  std::vector<uint8_t> bitstream_;
  std::array<uint8_t, 256> registers_{};
  int busyReadsLeft_ = 0;
  RegisterModel model_;
  SensorContext sensor_;
  // The sensor FIFO behind endpoint 0x82: one whole acquisition that host
  // transfers of any size drain; the end of an acquisition ends a transfer.
  std::vector<uint8_t> stream_;
  size_t streamAt_ = 0;
  bool acquisitionScheduled_ = false;
  Clock::time_point acquisitionReadyAt_{};
  Clock::time_point sensorFreeAt_{};
  Clock::time_point linkFreeAt_{};
  bool dataHalted_ = false;
  bool swallowIn_ = false;   // the current data read times out (fault)
  bool swallowOut_ = false;  // the current write times out (fault)
  std::mutex mutex_;
};

}  // namespace orvex_emu
