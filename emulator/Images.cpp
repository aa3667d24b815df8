#include "Images.h"

#include <cstring>

namespace orvex_emu {
namespace {

const char kCodeMagic[] = "OVXFX2";
const char kFooterMagic[] = "OVXF";
const char kBitstreamMagic[] = "OVXBITv1";
const char kSignatureText[] = "Lock-In-Camera";

void PutLe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLe32(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

// The serial slot is excluded from the checksum: the serial-number writer
// changes it in the EEPROM without touching anything else.
uint32_t CodeChecksum(const uint8_t* code) {
  uint32_t hash = Fnv1a(code, kSerialSlotAt);
  return Fnv1a(code + kSerialSlotAt + kSerialSlotBytes, kFooterAt - kSerialSlotAt - kSerialSlotBytes, hash);
}

void WriteDeviceDescriptor(uint8_t* at, const FirmwareIdentity& id) {
  const uint8_t descriptor[18] = {18, 1, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 64,
                                  uint8_t(id.vendorId), uint8_t(id.vendorId >> 8),
                                  uint8_t(id.productId), uint8_t(id.productId >> 8),
                                  uint8_t(id.deviceId), uint8_t(id.deviceId >> 8), 1, 2, 3, 1};
  std::memcpy(at, descriptor, sizeof descriptor);
}

// Deterministic filler standing in for 8051 code.
void FillCode(uint8_t* at, size_t size, uint32_t seed) {
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    at[i] = static_cast<uint8_t>(seed >> 16);
  }
}

}  // namespace

uint32_t Fnv1a(const uint8_t* data, size_t size, uint32_t hash) {
  for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return hash;
}

std::vector<uint8_t> BuildControllerCode(const FirmwareIdentity& identity, const std::string& serial) {
  std::vector<uint8_t> code(kCodeBytes, 0);
  FillCode(code.data(), code.size(), 0x4F565846u);
  std::memcpy(code.data() + kCodeMagicAt, kCodeMagic, 6);
  std::memset(code.data() + 6, 0, kDeviceDescriptorAt - 6);
  WriteDeviceDescriptor(code.data() + kDeviceDescriptorAt, identity);
  std::memset(code.data() + kDeviceDescriptorAt + 18, 0, kSignatureAt - kDeviceDescriptorAt - 18);
  for (size_t i = 0; i < 14; ++i) {
    code[kSignatureAt + 2 * i] = static_cast<uint8_t>(kSignatureText[i]);
    code[kSignatureAt + 2 * i + 1] = 0;
  }
  uint8_t* slot = code.data() + kSerialSlotAt;
  std::memset(slot, 0, kSerialSlotBytes);
  size_t n = serial.size() > 16 ? 16 : serial.size();
  if (n > 0) {
    slot[0] = static_cast<uint8_t>(2 + 2 * n);
    slot[1] = 3;
    for (size_t i = 0; i < n; ++i) slot[2 + 2 * i] = static_cast<uint8_t>(serial[i]);
  }
  std::memcpy(code.data() + kFooterAt, kFooterMagic, 4);
  PutLe32(code.data() + kFooterAt + 4, CodeChecksum(code.data()));
  return code;
}

std::vector<uint8_t> BuildC2Image(const FirmwareIdentity& identity, const std::string& serial) {
  std::vector<uint8_t> code = BuildControllerCode(identity, serial);
  std::vector<uint8_t> image = {0xC2,
                                uint8_t(identity.vendorId), uint8_t(identity.vendorId >> 8),
                                uint8_t(identity.productId), uint8_t(identity.productId >> 8),
                                uint8_t(identity.deviceId), uint8_t(identity.deviceId >> 8),
                                0x04};
  for (size_t at = 0; at < code.size(); at += kRecordBytes) {
    size_t n = code.size() - at < kRecordBytes ? code.size() - at : kRecordBytes;
    image.push_back(uint8_t(n >> 8));
    image.push_back(uint8_t(n));
    image.push_back(uint8_t(at >> 8));
    image.push_back(uint8_t(at));
    image.insert(image.end(), code.begin() + at, code.begin() + at + n);
  }
  // Final record: one byte to the CPU control register, CPU runs.
  const uint8_t last[] = {0x80, 0x01, 0xE6, 0x00, 0x00};
  image.insert(image.end(), last, last + sizeof last);
  return image;
}

bool CheckControllerCode(const uint8_t* ram, size_t ramBytes, FirmwareIdentity& identity, std::string& serial) {
  if (ramBytes < kCodeBytes) return false;
  if (std::memcmp(ram + kCodeMagicAt, kCodeMagic, 6) != 0) return false;
  if (std::memcmp(ram + kFooterAt, kFooterMagic, 4) != 0) return false;
  if (GetLe32(ram + kFooterAt + 4) != CodeChecksum(ram)) return false;
  const uint8_t* d = ram + kDeviceDescriptorAt;
  if (d[0] != 18 || d[1] != 1) return false;
  identity.vendorId = uint16_t(d[8] | d[9] << 8);
  identity.productId = uint16_t(d[10] | d[11] << 8);
  identity.deviceId = uint16_t(d[12] | d[13] << 8);
  serial.clear();
  const uint8_t* slot = ram + kSerialSlotAt;
  if (slot[1] == 3 && slot[0] >= 2 && slot[0] <= kSerialSlotBytes) {
    size_t n = (slot[0] - 2u) / 2u;
    for (size_t i = 0; i < n; ++i) serial.push_back(static_cast<char>(slot[2 + 2 * i]));
  }
  return true;
}

std::vector<uint8_t> BuildBitstream(size_t payloadBytes, uint32_t seed) {
  std::vector<uint8_t> stream(kBitstreamHeaderBytes + payloadBytes);
  FillCode(stream.data() + kBitstreamHeaderBytes, payloadBytes, seed);
  std::memcpy(stream.data(), kBitstreamMagic, 8);
  PutLe32(stream.data() + 8, static_cast<uint32_t>(payloadBytes));
  PutLe32(stream.data() + 12, Fnv1a(stream.data() + kBitstreamHeaderBytes, payloadBytes));
  return stream;
}

bool CheckBitstream(const uint8_t* data, size_t size) {
  if (size < kBitstreamHeaderBytes || std::memcmp(data, kBitstreamMagic, 8) != 0) return false;
  uint32_t payload = GetLe32(data + 8);
  if (payload != size - kBitstreamHeaderBytes) return false;
  return GetLe32(data + 12) == Fnv1a(data + kBitstreamHeaderBytes, payload);
}

}  // namespace orvex_emu
