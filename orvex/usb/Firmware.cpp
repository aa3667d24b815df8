#include "usb/Firmware.h"

#include <cstdio>
#include <vector>

#include "core/Messages.h"
#include "platform/DataFolder.h"
#include "usb/BinaryFile.h"
#include "usb/DeviceSearch.h"
#include "usb/UsbInterface.h"
#include "usb/UsbLibrary.h"

namespace orvex {
namespace {

constexpr size_t kMaxFirmwarePathChars = 259;

uint16_t BigEndian16(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }
uint16_t LittleEndian16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

void SetCpuReset(CUsbInterface& usb, bool hold) {
  uint8_t value = hold ? 1 : 0;
  usb.WriteControllerRam(kCpuControlRegister, &value, 1);
}

}  // namespace

void ReportFileNotLoaded(const char* format, const std::string& path) {
  char text[256];
  std::snprintf(text, sizeof text, format, path.c_str());
  Notify(nullptr, QV_MSG_TEXT, kMsgOpenWarning, text);
}

int CheckBootHeader(const uint8_t* image, size_t size) {
  if (!image || size == 0 || (image[0] == 0xC2 && size < kBootHeaderBytes)) {
    ReportText(nullptr, kMsgOpenWarning, "Bootbyte warning: image of %zu bytes holds no boot header",
               image ? size : size_t{0});
    return -1;
  }
  if (image[0] == 0x00) {
    Notify(nullptr, QV_MSG_TEXT, kMsgOpenInfo, "Bootbyte buf[0]==0x00. Camera will boot as CypressFx2 device");
    return 0;
  }
  if (image[0] == 0xC2 && size >= kBootHeaderBytes) {
    ReportText(nullptr, kMsgOpenDebug, "VID   : 0x%.4x\nPID   : 0x%.4x\nDEVID : 0x%.4x\nCONFIG: 0x%.2x\n",
               LittleEndian16(image + 1), LittleEndian16(image + 3), LittleEndian16(image + 5), image[7]);
    return 0;
  }
  ReportText(nullptr, kMsgOpenWarning, "Bootbyte warning buf[0]!=0xC2 : %i", int(image[0]));
  return -1;
}

int UploadToControllerRam(CUsbInterface& usb, const uint8_t* image, size_t size) {
  if (usb.device) SetCpuReset(usb, true);
  CheckBootHeader(image, size);
  size_t at = kBootHeaderBytes;
  // The final record (last-record bit set, or ending exactly at the end of
  // the file) is never sent: the CPU is started explicitly below.
  while (image && at + 4 <= size) {
    uint16_t length = BigEndian16(image + at);
    uint16_t address = BigEndian16(image + at + 2);
    size_t data = at + 4;
    if (data + length >= size) break;
    if (usb.device) usb.WriteControllerRam(address, image + data, length);
    at = data + length;
  }
  if (usb.device) {
    SetCpuReset(usb, false);
    usb.Reset();
  }
  return 0;
}

std::string FirmwarePath(const char* name) {
  std::string given = name ? name : "";
  std::string path = (given.size() >= 2 && given[1] == ':') || (!given.empty() && given[0] == '/')
                         ? given
                         : DataFolder() + "/devDesc/i2c/" + given;
  if (path.size() > kMaxFirmwarePathChars) path.resize(kMaxFirmwarePathChars);
  return path;
}

int LoadAndUploadFirmware(const char* name, usb_dev_handle* device) {
  if (LoadUsbLibrary() != 0) return 0;
  std::string path = FirmwarePath(name);
  bool borrowed = device != nullptr;
  CUsbInterface usb(borrowed ? device : FirstAvailableDevice());
  InitUsbOnce();
  std::vector<uint8_t> image;
  int result = 0;
  if (!ReadWholeFile(path, image)) {
    ReportFileNotLoaded("CPelCam::WriteToRam(): failed to load file %s", path);
    result = -1;
  } else {
    UploadToControllerRam(usb, image.data(), image.size());
  }
  if (borrowed) usb.Detach();
  return result;
}

}  // namespace orvex
