#include "usb/Eeprom.h"

#include <algorithm>
#include <cstring>

#include "core/Messages.h"
#include "usb/CommandPacket.h"
#include "usb/Firmware.h"
#include "usb/UsbInterface.h"

namespace orvex {
namespace {

constexpr size_t kDataAt = 9;     // response data
constexpr size_t kPayloadAt = 7;  // write request data

void PrepareRequest(uint8_t* request, uint8_t group) {
  std::memset(request, kEepromFill, kPacketBytes);
  SetCommand(request, group, kOpWrite);
  request[3] = kEepromI2cAddress;
}

void SetChunk(uint8_t* request, uint32_t address, uint32_t count) {
  request[4] = static_cast<uint8_t>(count);
  request[5] = static_cast<uint8_t>(address >> 8);
  request[6] = static_cast<uint8_t>(address);
}

int Exchange(CUsbInterface& usb, const uint8_t* request, uint8_t* response) {
  usb.BulkWrite(kEndpointCommandOut, request, kPacketBytes);
  return usb.BulkRead(kEndpointCommandIn, response, kPacketBytes);
}

// The acknowledgement counts only when the response arrived with all n data
// bytes; otherwise the buffer still holds an older response.
bool Acknowledged(const uint8_t* response, int readResult, uint32_t n) {
  return readResult >= static_cast<int>(kDataAt + n) && response[7] == kAck && response[8] == kAck;
}

int Failed(int code) {
  ReportProgress(0, QV_PROGRESS_CLOSE, "Failed");
  return code;
}

}  // namespace

int EepromRead(CUsbInterface& usb, uint32_t address, uint8_t* buffer, uint32_t count) {
  if (count == 0) return 0;
  if (!buffer) return -1;
  uint8_t request[kPacketBytes], response[kPacketBytes];
  PrepareRequest(request, kGroupEepromRead);
  std::memset(response, kEepromFill, sizeof response);
  for (uint32_t done = 0; done < count; done += kEepromChunkBytes) {
    uint32_t n = std::min(count - done, kEepromChunkBytes);
    SetChunk(request, address + done, n);
    int result = Exchange(usb, request, response);
    if (!Acknowledged(response, result, n)) return -1;
    std::memcpy(buffer + done, response + kDataAt, n);
  }
  return 0;
}

int EepromWrite(CUsbInterface& usb, uint32_t address, uint8_t* image, uint32_t count) {
  if (!image && count > 0) return -1;
  uint8_t request[kPacketBytes], response[kPacketBytes];
  PrepareRequest(request, kGroupEepromWrite);
  std::memset(response, kEepromFill, sizeof response);
  uint8_t bootByte = 0;
  bool atBoot = address == 0;
  if (atBoot) {
    if (CheckBootHeader(image, count) != 0) return -1;
    bootByte = image[0];
    image[0] = 0x00;
  }
  struct RestoreBootByte {
    uint8_t* image;
    bool active;
    uint8_t value;
    ~RestoreBootByte() {
      if (active) image[0] = value;
    }
  } restore{image, atBoot, bootByte};

  for (uint32_t k = 0, done = 0; done < count; ++k, done += kEepromChunkBytes) {
    uint32_t n = std::min(count - done, kEepromChunkBytes);
    request[1] = kGroupEepromWrite;
    SetChunk(request, address + done, n);
    std::memcpy(request + kPayloadAt, image + done, n);
    int result = Exchange(usb, request, response);
    if (!Acknowledged(response, result, 0)) return Failed(-1);
    request[1] = kGroupEepromRead;
    std::memset(response, kEepromFill, sizeof response);
    result = Exchange(usb, request, response);
    if (result < static_cast<int>(kDataAt + n) || std::memcmp(response + kDataAt, image + done, n) != 0)
      return Failed(-2);
    ReportProgress(static_cast<uint32_t>((uint64_t{k} * 4800u) / count), QV_PROGRESS_UPDATE, "WriteFX2_EEPROM...");
  }
  if (atBoot) {
    request[1] = kGroupEepromWrite;
    SetChunk(request, 0, 1);
    request[kPayloadAt] = bootByte;
    // A refused boot byte leaves 0x00 at address 0: the controller would come
    // up without firmware although the image is in place.
    if (!Acknowledged(response, Exchange(usb, request, response), 0)) return Failed(-1);
  }
  ReportProgress(0, QV_PROGRESS_CLOSE, "Done");
  return 0;
}

}  // namespace orvex
