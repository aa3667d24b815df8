#include "VirtualCamera.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <thread>

namespace orvex_emu {
namespace {

constexpr uint8_t kMarker = 0xAB;
constexpr uint8_t kGroupRegister = 0x07;
constexpr uint8_t kGroupFpga = 0x0B;
constexpr uint8_t kGroupEepromRead = 0x0D;
constexpr uint8_t kGroupEepromWrite = 0x0E;
constexpr uint8_t kAck = 8;
constexpr uint8_t kEepromI2cAddress = 0x51;
constexpr size_t kMaxEepromChunk = 48;

// A transfer as one call: waits while the device names a time to ask again.
template <class Attempt>
int WholeTransfer(Attempt attempt) {
  for (;;) {
    DeviceAnswer answer = attempt(Clock::now());
    if (!answer.pending) return answer.result;
    if (answer.retryAt == Clock::time_point::max()) return kErrTimeout;
    std::this_thread::sleep_until(answer.retryAt);
  }
}

}  // namespace

VirtualCamera::VirtualCamera(unsigned index, const CameraConfig& config) : index_(index), config_(config) {
  sensor_.cameraIndex = index;
  sensor_.serial = config.serial;
  sensor_.scene = config.scene;
  sensor_.acquisitionCount = config.acquisitions;
  RebuildEeprom();
  LoadModel();
  if (config_.plugged) PowerUp();
}

void VirtualCamera::LoadModel() {
  model_ = RegisterModel();
  if (config_.regdesc != "none") {
    std::string path = config_.regdesc == "auto" ? DefaultRegisterDescription() : config_.regdesc;
    LoadRegisterModel(path, config_.busyReads, model_);
  }
  if (config_.busy.enabled) model_.busy = config_.busy;
}

void VirtualCamera::CountAcquisition() {
  if (model_.frameCounterLow < 0) return;
  unsigned count = registers_[size_t(model_.frameCounterLow)];
  if (model_.frameCounterHigh >= 0) count |= unsigned(registers_[size_t(model_.frameCounterHigh)]) << 8;
  ++count;
  registers_[size_t(model_.frameCounterLow)] = uint8_t(count);
  if (model_.frameCounterHigh >= 0) registers_[size_t(model_.frameCounterHigh)] = uint8_t(count >> 8);
}

VirtualCamera::~VirtualCamera() { SensorRelease(sensor_); }

void VirtualCamera::RebuildEeprom() {
  eeprom_.fill(0xFF);
  if (config_.eeprom == EepromContent::Firmware) {
    std::vector<uint8_t> image = BuildC2Image(config_.identity, config_.serial);
    std::copy_n(image.begin(), std::min(image.size(), eeprom_.size()), eeprom_.begin());
  } else if (config_.eeprom == EepromContent::File) {
    std::ifstream file(config_.eepromFile, std::ios::binary);
    file.read(reinterpret_cast<char*>(eeprom_.data()), static_cast<std::streamsize>(eeprom_.size()));
  }
}

uint16_t VirtualCamera::VendorId() const { return running_ ? identity_.vendorId : 0x04B4; }
uint16_t VirtualCamera::ProductId() const { return running_ ? identity_.productId : 0x8613; }
uint16_t VirtualCamera::DeviceId() const { return running_ ? identity_.deviceId : 0xA001; }

std::vector<uint8_t> VirtualCamera::StringDescriptor(int index) const {
  auto text = [](const std::string& s) {
    std::vector<uint8_t> d = {uint8_t(2 + 2 * s.size()), 3};
    for (char c : s) d.push_back(uint8_t(c)), d.push_back(0);
    return d;
  };
  if (index == 0) return {4, 3, 0x09, 0x04};
  if (!running_) return {};
  if (index == 1) return text("Orvex");
  if (index == 2) return text("Lock-In-Camera");
  if (index == 3 && HasSerialString()) return text(serial_);
  return {};
}

void VirtualCamera::Unplug() {
  plugged_ = false;
  running_ = false;
  ++generation_;
}

void VirtualCamera::PowerUp() {
  plugged_ = true;
  ram_.assign(kControllerRamBytes, 0);
  cpuHeld_ = false;
  cpuStarted_ = false;
  running_ = false;
  fpgaConfigured_ = config_.fpgaConfigured;
  fpgaReceiving_ = false;
  registers_.fill(0);
  for (auto [address, value] : config_.registers) registers_[address] = value;
  busyReadsLeft_ = 0;
  BootFromEeprom();
  Enumerate();
}

// The FX2 boot loader: C2 records from the EEPROM into RAM until the record
// with the last-record bit, which starts the CPU.
void VirtualCamera::BootFromEeprom() {
  if (eeprom_[0] != 0xC2) return;
  size_t at = 8;
  while (at + 4 <= eeprom_.size()) {
    unsigned length = unsigned(eeprom_[at] << 8 | eeprom_[at + 1]);
    unsigned address = unsigned(eeprom_[at + 2] << 8 | eeprom_[at + 3]);
    bool last = length & 0x8000;
    length &= 0x03FF;
    at += 4;
    if (last) break;
    if (at + length > eeprom_.size()) return;
    if (address + length <= ram_.size()) std::copy_n(eeprom_.begin() + at, length, ram_.begin() + address);
    at += length;
  }
  FirmwareIdentity identity;
  std::string serial;
  if (CheckControllerCode(ram_.data(), ram_.size(), identity, serial)) {
    running_ = true;
    identity_ = identity;
    serial_ = serial;
  }
}

void VirtualCamera::Enumerate() {
  ++generation_;
  interfaceOwner_ = 0;
  response_.reset();
  FlushSensorStream();
  dataHalted_ = false;
}

void VirtualCamera::StartCpu() {
  cpuStarted_ = true;
  firmwareFault_ = config_.faults.firmwareFailures.Take();
}

// The uploaded code renumerates when the host resets the device.
void VirtualCamera::Reset() {
  if (!plugged_) return;
  if (cpuStarted_) {
    FirmwareIdentity identity;
    std::string serial;
    running_ = !firmwareFault_ && CheckControllerCode(ram_.data(), ram_.size(), identity, serial);
    if (running_) identity_ = identity, serial_ = serial;
  }
  cpuStarted_ = false;
  Enumerate();
}

int VirtualCamera::ControlTransfer(int requestType, int request, int value, int /*index*/, uint8_t* data, int size) {
  if (request != 0xA0 || size < 0 || (size > 0 && !data)) return kErrPipe;
  unsigned base = unsigned(value) & 0xFFFF;
  if (requestType == 0xC0) {
    for (int i = 0; i < size; ++i) data[i] = base + i < ram_.size() ? ram_[base + i] : 0;
    return size;
  }
  if (requestType != 0x40) return kErrPipe;
  for (int i = 0; i < size; ++i) {
    unsigned address = base + unsigned(i);
    if (address == kCpuControlRegister) {
      bool hold = data[i] & 1;
      if (!hold && cpuHeld_) StartCpu();
      cpuHeld_ = hold;
    } else if (address < ram_.size()) {
      ram_[address] = data[i];
    }
  }
  return size;
}

bool VirtualCamera::ClaimInterface(int owner) {
  if (interfaceOwner_ != 0 && interfaceOwner_ != owner) return false;
  interfaceOwner_ = owner;
  return true;
}

void VirtualCamera::ReleaseInterface(int owner) {
  if (interfaceOwner_ == owner) interfaceOwner_ = 0;
}

void VirtualCamera::StartTransfer(int endpoint) {
  if (config_.faults.unplug.Take()) Unplug();
  if (endpoint & 0x80) {
    swallowIn_ = false;
  } else {
    swallowOut_ = plugged_ && running_ && config_.faults.writeTimeouts.Take();
  }
}

int VirtualCamera::BulkWrite(int endpoint, const uint8_t* data, int size) {
  StartTransfer(endpoint);
  return WholeTransfer([&](Clock::time_point now) { return BulkOut(endpoint, data, size, now); });
}

int VirtualCamera::BulkRead(int endpoint, uint8_t* data, int size) {
  StartTransfer(endpoint);
  return WholeTransfer([&](Clock::time_point now) { return BulkIn(endpoint, data, size, now); });
}

void VirtualCamera::ClearHalt(int endpoint) {
  if (endpoint == 0x82) dataHalted_ = false;
}

DeviceAnswer VirtualCamera::BulkOut(int endpoint, const uint8_t* data, int size, Clock::time_point now) {
  if (!plugged_) return {kErrNoDevice};
  if (!running_) return {kErrPipe};
  if (size < 0 || (size > 0 && !data)) return {kErrInvalid};
  if (swallowOut_) return DeviceAnswer::Pending();
  if (endpoint == 0x01) {
    if (size == int(kPacketBytes)) HandleCommand(data);
    return {size};
  }
  if (endpoint == 0x08) {
    Clock::time_point ready = LinkReadyAt(now);
    if (ready > now) return DeviceAnswer::Pending(ready);
    ChargeLink(size_t(size), now);
    if (fpgaReceiving_ && bitstream_.size() + size_t(size) <= kMaxBitstreamBytes)
      bitstream_.insert(bitstream_.end(), data, data + size);
    return {size};
  }
  return {kErrPipe};
}

DeviceAnswer VirtualCamera::BulkIn(int endpoint, uint8_t* data, int size, Clock::time_point now) {
  if (!plugged_) return {kErrNoDevice};
  if (!running_) return {kErrPipe};
  if (size < 0 || (size > 0 && !data)) return {kErrInvalid};
  if (endpoint == 0x81) {
    if (!response_) return DeviceAnswer::Pending();
    int n = std::min(size, responseLength_);
    std::memcpy(data, response_->data(), size_t(n));
    response_.reset();
    return {n};
  }
  if (endpoint == 0x82) return ReadSensorStream(data, size, now);
  return {kErrPipe};
}

// Faults act when the device would send: a transfer waiting for data or for
// the link uses up none of them.
DeviceAnswer VirtualCamera::ReadSensorStream(uint8_t* data, int size, Clock::time_point now) {
  if (!fpgaConfigured_) return DeviceAnswer::Pending();
  if (dataHalted_) return {kErrPipe};
  Clock::time_point readyAt;
  if (!FillSensorStream(now, readyAt)) return DeviceAnswer::Pending(readyAt);
  Clock::time_point linkReady = LinkReadyAt(now);
  if (linkReady > now) return DeviceAnswer::Pending(linkReady);
  if (swallowIn_) return DeviceAnswer::Pending();
  if (config_.faults.readErrors.Take()) return {kErrIo};
  if (config_.faults.readTimeouts.Take()) {
    swallowIn_ = true;
    return DeviceAnswer::Pending();
  }
  if (config_.faults.stalls.Take()) {
    dataHalted_ = true;
    return {kErrPipe};
  }
  if (config_.faults.zeroReads.Take()) return {0};
  size_t n = std::min(size_t(size), stream_.size() - streamAt_);
  std::memcpy(data, stream_.data() + streamAt_, n);
  streamAt_ += n;
  ChargeLink(n, now);
  // A short packet ends the transfer and the controller drops the rest of
  // the acquisition with it.
  if (config_.faults.shortReads.Take()) {
    n /= 2;
    FlushSensorStream();
  }
  return {int(n)};
}

// The next acquisition enters the FIFO once the sensor has exposed it.
bool VirtualCamera::FillSensorStream(Clock::time_point now, Clock::time_point& readyAt) {
  readyAt = Clock::time_point::max();
  if (streamAt_ < stream_.size()) return true;
  size_t total = SensorAcquisitionBytes(registers_.data(), sensor_);
  if (total == 0) return false;
  if (!acquisitionScheduled_) {
    auto exposure = config_.linkRate > 0 ? std::chrono::nanoseconds(SensorAcquisitionNs(registers_.data()))
                                         : std::chrono::nanoseconds(0);
    // Free running, the sensor exposes the next acquisition while the host
    // takes the previous one: at most one acquisition per exposure time.
    acquisitionReadyAt_ = std::max(sensorFreeAt_ + exposure, now);
    acquisitionScheduled_ = true;
  }
  if (acquisitionReadyAt_ > now) {
    readyAt = acquisitionReadyAt_;
    return false;
  }
  stream_.resize(total);
  size_t n = SensorRead(registers_.data(), stream_.data(), total, sensor_);
  stream_.resize(n);
  streamAt_ = 0;
  sensorFreeAt_ = acquisitionReadyAt_;
  acquisitionScheduled_ = false;
  if (n == 0) return false;
  CountAcquisition();
  return true;
}

void VirtualCamera::FlushSensorStream() {
  stream_.clear();
  streamAt_ = 0;
  acquisitionScheduled_ = false;
}

Clock::time_point VirtualCamera::LinkReadyAt(Clock::time_point now) const {
  return config_.linkRate > 0 ? std::max(now, linkFreeAt_) : now;
}

void VirtualCamera::ChargeLink(size_t bytes, Clock::time_point now) {
  if (config_.linkRate <= 0) return;
  auto busy = std::chrono::nanoseconds(static_cast<int64_t>(double(bytes) * 1e9 / config_.linkRate));
  linkFreeAt_ = std::max(now, linkFreeAt_) + std::chrono::duration_cast<Clock::duration>(busy);
}

void VirtualCamera::HandleCommand(const uint8_t* request) {
  response_.reset();
  std::array<uint8_t, kPacketBytes> response;
  std::memcpy(response.data(), request, kPacketBytes);
  if (request[0] != kMarker) return;
  bool answered = false;
  switch (request[1]) {
    case kGroupRegister: answered = HandleRegisterCommand(response.data()); break;
    case kGroupFpga: answered = HandleFpgaCommand(response.data()); break;
    case kGroupEepromRead: answered = HandleEepromCommand(response.data(), false); break;
    case kGroupEepromWrite: answered = HandleEepromCommand(response.data(), true); break;
    default: break;
  }
  if (!answered || config_.faults.dropResponses.Take()) return;
  int length = int(kPacketBytes);
  ApplyResponseFaults(response.data(), length);
  response_ = response;
  responseLength_ = length;
}

void VirtualCamera::ApplyResponseFaults(uint8_t* response, int& length) {
  if (config_.faults.nakResponses.Take()) {
    switch (response[1]) {
      case kGroupRegister: response[3] = response[2] == 0x80 ? 0 : response[3], response[5] = response[6] = 0; break;
      case kGroupFpga: response[3] = 1; break;
      default: response[7] = response[8] = 0; break;
    }
  }
  if (config_.faults.garbledResponses.Take()) response[1] ^= 0xFF;
  if (config_.faults.shortResponses.Take()) length = 32;
}

bool VirtualCamera::HandleRegisterCommand(uint8_t* response) {
  if (!fpgaConfigured_) return false;  // the FPGA answers register commands
  uint8_t address = response[3];
  if (response[2] == 0x80) {
    WriteRegister(address, response[4]);
    response[3] = kAck;
    return true;
  }
  if (response[2] == 0x81) {
    response[4] = ReadRegister(address);
    response[5] = response[6] = kAck;
    return true;
  }
  return false;
}

void VirtualCamera::WriteRegister(uint8_t address, uint8_t value) {
  registers_[address] = value;
  // New settings restart the sensor: what it had not sent yet is gone.
  if (SensorAcquisitionBytes(registers_.data(), sensor_) != stream_.size()) FlushSensorStream();
  const BusyRegister& busy = model_.busy;
  if (busy.enabled && address != busy.address) {
    registers_[busy.address] |= busy.mask;
    busyReadsLeft_ = busy.reads;
  }
}

uint8_t VirtualCamera::ReadRegister(uint8_t address) {
  const BusyRegister& busy = model_.busy;
  if (busy.enabled && address == busy.address && (registers_[address] & busy.mask)) {
    if (busyReadsLeft_ > 0)
      --busyReadsLeft_;
    else
      registers_[address] &= uint8_t(~busy.mask);
  }
  uint8_t value = registers_[address];
  if (config_.counterRegister == address) ++registers_[address];
  return value;
}

bool VirtualCamera::HandleFpgaCommand(uint8_t* response) {
  if (response[2] == 0x80) {
    fpgaReceiving_ = true;
    fpgaConfigured_ = false;
    bitstream_.clear();
    response[3] = 0;
    return true;
  }
  if (response[2] == 0x82) {
    if (fpgaReceiving_) {
      ++fpgaDownloads_;
      bool valid = CheckBitstream(bitstream_.data(), bitstream_.size());
      fpgaConfigured_ = valid && !config_.faults.fpgaVerifyFailures.Take();
      fpgaReceiving_ = false;
      bitstream_.clear();
      bitstream_.shrink_to_fit();
    }
    response[3] = fpgaConfigured_ ? 0 : 1;
    return true;
  }
  return false;
}

bool VirtualCamera::HandleEepromCommand(uint8_t* response, bool write) {
  size_t count = response[4];
  if (response[2] != 0x80 || response[3] != kEepromI2cAddress || count == 0 || count > kMaxEepromChunk) {
    response[7] = response[8] = 0;
    return true;
  }
  unsigned address = unsigned(response[5] << 8 | response[6]);
  if (write) {
    if (config_.faults.eepromWriteNaks.Take()) {
      response[7] = response[8] = 0;
      return true;
    }
    for (size_t i = 0; i < count; ++i) eeprom_[(address + i) % kEepromBytes] = response[7 + i];
  } else {
    for (size_t i = 0; i < count; ++i) response[9 + i] = eeprom_[(address + i) % kEepromBytes];
    if (config_.faults.eepromReadbackErrors.Take()) response[9] ^= 0xFF;
  }
  response[7] = response[8] = kAck;
  return true;
}

}  // namespace orvex_emu
