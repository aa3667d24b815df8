#include "usb/FpgaDownload.h"

#include <memory>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "core/PelCam.h"
#include "platform/DataFolder.h"
#include "platform/Sleep.h"
#include "usb/BinaryFile.h"
#include "usb/CommandPacket.h"
#include "usb/Firmware.h"
#include "usb/UsbInterface.h"
#include "usb/UsbLibrary.h"

namespace orvex {
namespace {

constexpr uint32_t kRetrySleepMs = 200;
constexpr uint32_t kConfigureSleepMs = 2000;
constexpr uint32_t kVerifyTimeoutMs = 100;
constexpr size_t kMaxFpgaPathChars = 255;

void ReportShort(uint32_t value, const char* format, int result, int status) {
  char text[64];
  std::snprintf(text, sizeof text, format, result, status);
  Notify(nullptr, QV_MSG_TEXT, value, text);
}

// Pieces of 16384 bytes; a stream whose size is a multiple of the piece size
// ends with a zero-length write, which tells the firmware the stream is over.
int SendBitstream(CUsbInterface& usb, const uint8_t* stream, size_t size) {
  int status = 0;
  long long remaining = static_cast<long long>(size);
  size_t offset = 0;
  while (remaining >= 0) {
    size_t piece = remaining > static_cast<long long>(kFpgaPieceBytes) ? kFpgaPieceBytes : static_cast<size_t>(remaining);
    int result = usb.device ? usb.BulkWrite(kEndpointFpga, stream ? stream + offset : nullptr, piece) : -1;
    if (result < 0) {
      status = result;
      SleepMs(kRetrySleepMs);
      break;
    }
    status = result;
    offset += kFpgaPieceBytes;
    remaining -= static_cast<long long>(kFpgaPieceBytes);
  }
  return status;
}

// Sends an FPGA command in the shared buffer: true when the firmware
// acknowledged (read not negative and byte 3 zero).
bool FpgaCommand(CUsbInterface& usb, uint8_t* packet, uint8_t operation, const char* failureFormat) {
  SetCommand(packet, kGroupFpga, operation);
  int result = usb.device ? usb.Transaction(packet) : -1;
  if (usb.device && result >= 0 && packet[3] == 0) return true;
  ReportShort(kMsgOpenDebug, failureFormat, result, packet[3]);
  SleepMs(kRetrySleepMs);
  return false;
}

// A register read under a short time-out: a configured FPGA answers it.
bool FpgaAnswers(CUsbInterface& usb, uint8_t* packet, uint8_t address) {
  SetCommand(packet, kGroupRegister, kOpRead);
  packet[3] = address;
  uint32_t previous = usb.timeoutMs;
  usb.timeoutMs = kVerifyTimeoutMs;
  usb.BulkWrite(kEndpointCommandOut, packet, kPacketBytes);
  packet[5] = packet[6] = 0;
  int result = usb.BulkRead(kEndpointCommandIn, packet, kPacketBytes);
  usb.timeoutMs = previous;
  return result == static_cast<int>(kPacketBytes) && packet[5] == kAck && packet[6] == kAck;
}

uint8_t FirstRegisterAddress(const CPelCam& camera) {
  return camera.regDesc && camera.regDesc->regCount > 0 ? camera.regDesc->regs[0].num : 0;
}

}  // namespace

int DownloadFpga(CUsbInterface& usb, const uint8_t* stream, size_t size, uint8_t verifyAddress) {
  uint8_t packet[kPacketBytes] = {};
  int status = -1;
  int passed = kFpgaAttempts;
  for (int attempt = 0; attempt < kFpgaAttempts; ++attempt) {
    for (int i = 3; i <= 7; ++i) packet[i] = 0;
    if (!FpgaCommand(usb, packet, kOpWrite, "FPGACfgStart: res %d bufCmd[3] %d")) continue;
    status = SendBitstream(usb, stream, size);
    SleepMs(kConfigureSleepMs);
    FpgaCommand(usb, packet, kOpComplete, "FPGACfgComplete: res %d bufCmd[3] %d");
    if (FpgaAnswers(usb, packet, verifyAddress)) {
      passed = attempt;
      break;
    }
    SleepMs(kRetrySleepMs);
  }
  if (passed == kFpgaAttempts) status = -1;
  if (passed > 0) {
    if (status < 0)
      ReportText(nullptr, kMsgOpenWarning, "FPGA download failed: tried %i times.", passed);
    else
      ReportText(nullptr, kMsgOpenDebug, "FPGA download succeeded. But there were %i download failure before.",
                 passed);
  }
  return status;
}

int SetInterfaceUSB(CPelCam& camera, usb_dev_handle* device, uint32_t mode) {
  std::string dataFolder = DataFolder();
  camera.interfaceKind = kUsbDevice;
  camera.usb = std::make_unique<CUsbInterface>(device, kDefaultTimeoutMs);
  InitUsbOnce();
  const _SysDesc* desc = camera.SysDesc();
  if (!desc || !desc->fpga || !desc->fpga->fpgaCfg) return 0;
  if (mode != 0) return 0;
  std::string path = dataFolder + "/devDesc/fpga/" + desc->fpga->fpgaCfg;
  if (path.size() > kMaxFpgaPathChars) path.resize(kMaxFpgaPathChars);
  std::vector<uint8_t> stream;
  if (!ReadWholeFile(path, stream)) {
    ReportFileNotLoaded("CPelCam::SetInterfaceUSB(): failed to load file %s", path);
    return -1;
  }
  return DownloadFpga(*camera.usb, stream.data(), stream.size(), FirstRegisterAddress(camera));
}

}  // namespace orvex
