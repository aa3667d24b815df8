// Register write, read and read-all: the register image is the reference; a
// connected device receives every write and answers read-through reads.
#include "core/Messages.h"
#include "core/PelCam.h"
#include "desc/MapAccess.h"
#include "usb/CommandPacket.h"
#include "usb/UsbInterface.h"

using namespace orvex;

namespace {

constexpr int32_t kRegisterProtocol = 2;

bool SpeaksRegisterProtocol(const CPelCam& camera) {
  const _SysDesc* desc = camera.SysDesc();
  return desc && desc->usb && desc->usb->protocol == kRegisterProtocol;
}

// With no device nothing is sent and nothing arrives.
int RunTransaction(CPelCam& camera, uint8_t* packet) {
  return camera.usb ? camera.usb->Transaction(packet) : -1;
}

}  // namespace

int32_t CPelCam::SetReg(uint8_t address, uint8_t value) {
  if (address >= regImage.size()) return 0;
  regImage[address] = value;
  if ((regAttr[address] & kAttrReleasesAcq) && !slots.empty()) ReleaseAcquisitionBuffer();
  if (interfaceKind == kUsbDevice) {
    if (!SpeaksRegisterProtocol(*this)) {
      Notify(nullptr, QV_MSG_TEXT, kMsgProtocolWarning, "CPelCam::SetReg(): Unsupported USB Protocol");
    } else {
      uint8_t packet[kPacketBytes];
      BuildRegisterWrite(packet, address, value);
      int result = RunTransaction(*this, packet);
      if (!IsRegisterWriteAccepted(packet, result))
        Notify(nullptr, QV_MSG_TEXT, kMsgOpenWarning, "CPelCam::SetReg(): failed");
    }
  }
  RecordRegisterWrite(address, value);
  return 0;
}

uint8_t CPelCam::GetReg(uint8_t address) {
  if (address >= regImage.size()) return 0;
  uint8_t value = regImage[address];
  if (!(regAttr[address] & kAttrReadThrough) || interfaceKind != kUsbDevice) return value;
  if (!SpeaksRegisterProtocol(*this)) {
    Notify(nullptr, QV_MSG_TEXT, kMsgProtocolWarning, "CPelCam::GetReg(): Unsupported USB Protocol");
    return value;
  }
  uint8_t packet[kPacketBytes];
  BuildRegisterRead(packet, address);
  int result = RunTransaction(*this, packet);
  if (!IsRegisterReadAccepted(packet, address, result))
    Notify(nullptr, QV_MSG_TEXT, kMsgOpenWarning, "CPelCam::GetReg(): failed");
  return packet[4];
}

int32_t CPelCam::GetAllReg() {
  if (interfaceKind != kUsbDevice) return 0;
  if (!SpeaksRegisterProtocol(*this)) {
    Notify(nullptr, QV_MSG_TEXT, kMsgProtocolWarning, "CPelCam::GetAllReg(): Unsupported USB Protocol");
    return 0;
  }
  if (!regDesc) return 0;
  // One buffer for all registers: each request carries what the previous
  // response left behind, as the firmware expects.
  uint8_t packet[kPacketBytes] = {};
  SetCommand(packet, kGroupRegister, kOpRead);
  for (uint16_t i = 0; i < regDesc->regCount; ++i) {
    uint8_t address = regDesc->regs[i].num;
    packet[3] = address;
    int result = RunTransaction(*this, packet);
    if (!IsRegisterReadAccepted(packet, address, result)) {
      ReportText(nullptr, kMsgOpenWarning, "CPelCam::GetAllReg(): reg[%i]=%i failed", int(address), int(packet[4]));
      return -1;
    }
    if (address < regImage.size()) regImage[address] = packet[4];
  }
  for (uint16_t i = 0; i < regDesc->mapCount; ++i) regDesc->maps[i].cachedValue = GetMapValue(*this, &regDesc->maps[i]);
  return 0;
}
