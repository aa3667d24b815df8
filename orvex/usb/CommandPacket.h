// The 64-byte command packets of the camera firmware.
#pragma once

#include <cstdint>
#include <cstring>

#include "usb/UsbInterface.h"

namespace orvex {

constexpr uint8_t kPacketMarker = 0xAB;
constexpr uint8_t kGroupRegister = 0x07;
constexpr uint8_t kGroupFpga = 0x0B;
constexpr uint8_t kGroupEepromRead = 0x0D;
constexpr uint8_t kGroupEepromWrite = 0x0E;
constexpr uint8_t kOpWrite = 0x80;  // also "start"
constexpr uint8_t kOpRead = 0x81;
constexpr uint8_t kOpComplete = 0x82;
constexpr uint8_t kAck = 8;
constexpr uint8_t kEepromI2cAddress = 0x51;
constexpr uint8_t kEepromFill = 0xCD;
constexpr unsigned kEndpointCommandOut = 0x01;
constexpr unsigned kEndpointCommandIn = 0x81;
constexpr unsigned kEndpointFpga = 0x08;

inline void SetCommand(uint8_t* packet, uint8_t group, uint8_t operation) {
  packet[0] = kPacketMarker;
  packet[1] = group;
  packet[2] = operation;
}

inline void BuildRegisterWrite(uint8_t* packet, uint8_t address, uint8_t value) {
  std::memset(packet, 0, kPacketBytes);
  SetCommand(packet, kGroupRegister, kOpWrite);
  packet[3] = address;
  packet[4] = value;
}

inline void BuildRegisterRead(uint8_t* packet, uint8_t address) {
  std::memset(packet, 0, kPacketBytes);
  SetCommand(packet, kGroupRegister, kOpRead);
  packet[3] = address;
}

// A response that never arrived cannot acknowledge anything, whatever the
// request left in the buffer; so the read result must cover the checked bytes.
inline bool IsRegisterWriteAccepted(const uint8_t* packet, int readResult) {
  return readResult >= 4 && packet[0] == kPacketMarker && packet[1] == kGroupRegister && packet[2] == kOpWrite &&
         packet[3] == kAck;
}

inline bool IsRegisterReadAccepted(const uint8_t* packet, uint8_t address, int readResult) {
  return readResult >= 7 && packet[0] == kPacketMarker && packet[1] == kGroupRegister && packet[2] == kOpRead &&
         packet[3] == address && packet[5] == kAck && packet[6] == kAck;
}

}  // namespace orvex
