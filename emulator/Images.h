// The firmware and FPGA files of our own making, and the checks the virtual
// camera applies to what it receives. Shared by the emulator, the image tool
// that writes the shipped data files, and the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex_emu {

// Controller code layout (addresses in controller RAM). The code carries its
// own USB device descriptor, the "Lock-In-Camera" text with the serial-number
// descriptor slot behind it, and a checksummed footer so that a truncated or
// foreign upload never starts.
constexpr uint16_t kCodeMagicAt = 0x0000;            // "OVXFX2"
constexpr uint16_t kDeviceDescriptorAt = 0x0010;     // 18-byte device descriptor
constexpr uint16_t kSignatureAt = 0x0040;            // UTF-16LE "Lock-In-Camera"
constexpr uint16_t kSignatureBytes = 28;
constexpr uint16_t kSerialSlotAt = kSignatureAt + kSignatureBytes;
constexpr uint16_t kSerialSlotBytes = 34;            // 2 + 2 x 16 characters
constexpr uint16_t kCodeBytes = 2048;                 // footer in the last 8 bytes
constexpr uint16_t kFooterAt = kCodeBytes - 8;       // "OVXF" + FNV-1a (LE)
constexpr uint16_t kRecordBytes = 512;               // load record size in our images
constexpr size_t kControllerRamBytes = 0x4000;       // program/data RAM of the FX2
constexpr uint16_t kCpuControlRegister = 0xE600;

struct FirmwareIdentity {
  uint16_t vendorId = 0x0852;
  uint16_t productId = 0x0081;
  uint16_t deviceId = 0x0001;
};

// The controller code (kCodeBytes) for an identity and serial (at most 16
// characters are kept; empty = no serial-number string).
std::vector<uint8_t> BuildControllerCode(const FirmwareIdentity& identity, const std::string& serial);
// The C2 boot image of that code: header, load records, final CPU-run record.
std::vector<uint8_t> BuildC2Image(const FirmwareIdentity& identity, const std::string& serial);

// Checks controller RAM holding uploaded code; on success writes the identity
// and the serial text (empty when the slot holds no valid descriptor).
bool CheckControllerCode(const uint8_t* ram, size_t ramBytes, FirmwareIdentity& identity, std::string& serial);

// FPGA bit stream file: "OVXBITv1", payload length (LE u32), FNV-1a of the
// payload (LE u32), payload.
constexpr size_t kBitstreamHeaderBytes = 16;
std::vector<uint8_t> BuildBitstream(size_t payloadBytes, uint32_t seed);
bool CheckBitstream(const uint8_t* data, size_t size);

uint32_t Fnv1a(const uint8_t* data, size_t size, uint32_t hash = 2166136261u);

}  // namespace orvex_emu
