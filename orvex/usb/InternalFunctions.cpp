#include "usb/InternalFunctions.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "usb/BinaryFile.h"
#include "usb/BootImage.h"
#include "usb/DeviceSearch.h"
#include "usb/Eeprom.h"
#include "usb/Firmware.h"
#include "usb/UsbInterface.h"
#include "usb/UsbLibrary.h"

namespace orvex {
namespace {

constexpr size_t kSignatureBytes = 28;  // UTF-16LE "Lock-In-Camera"
constexpr size_t kSignatureSearchBytes = 1024;
constexpr size_t kMaxSerialChars = 16;

bool SignatureAt(const uint8_t* at) {
  static const char kText[] = "Lock-In-Camera";
  for (size_t i = 0; i < kSignatureBytes / 2; ++i)
    if (at[2 * i] != static_cast<uint8_t>(kText[i]) || at[2 * i + 1] != 0) return false;
  return true;
}

// The serial-number string descriptor of a text: at most 16 characters.
std::vector<uint8_t> SerialDescriptor(const char* serial) {
  size_t n = serial ? strnlen(serial, kMaxSerialChars) : 0;
  std::vector<uint8_t> descriptor = {static_cast<uint8_t>(2 + 2 * n), 3};
  for (size_t i = 0; i < n; ++i) {
    descriptor.push_back(static_cast<uint8_t>(serial[i]));
    descriptor.push_back(0);
  }
  return descriptor;
}

// The camera a selection names; null, with the reason reported, when none
// or (without a serial) more than one fits.
usb_dev_handle* OpenSelectedCamera(const char* selection) {
  DeviceSelection wanted = ParseDeviceSelection(selection);
  if (!wanted.filterBySerial) {
    uint32_t cameras = ListSerials(nullptr);
    if (cameras == 0) {
      Notify(nullptr, QV_MSG_TEXT, kMsgOpenWarning, "no camera is connected");
      return nullptr;
    }
    if (cameras > 1) {
      ReportText(nullptr, kMsgOpenWarning, "%u cameras are connected: select one by its serial number",
                 unsigned(cameras));
      return nullptr;
    }
  }
  usb_dev_handle* device = FindCameraDevice(wanted);
  if (!device && wanted.filterBySerial)
    ReportText(nullptr, kMsgOpenWarning, "no camera with serial number \"%s\" can be opened", wanted.serial.c_str());
  else if (!device)
    Notify(nullptr, QV_MSG_TEXT, kMsgOpenWarning, "the camera cannot be opened");
  return device;
}

int WriteEepromFile(CUsbInterface& usb, const char* fileName) {
  std::string path = FirmwarePath(fileName);
  std::vector<uint8_t> image;
  if (!ReadWholeFile(path, image)) {
    ReportFileNotLoaded("CPelCam::WriteToRam(): failed to load file %s", path);
    return -1;
  }
  if (image.size() > UINT32_MAX) return -1;
  // Refused before the first byte is written: a camera with half an image
  // or a damaged one no longer boots.
  std::string problem = BootImageProblem(image.data(), image.size());
  if (!problem.empty()) {
    ReportText(nullptr, kMsgOpenWarning, "EEPROM image %s refused: %s", path.c_str(), problem.c_str());
    return -1;
  }
  return EepromWrite(usb, 0, image.data(), static_cast<uint32_t>(image.size()));
}

// True when the descriptor went in; the outcome is also reported.
bool WriteSerialDescriptor(CUsbInterface& usb, const char* serial) {
  std::vector<uint8_t> descriptor = SerialDescriptor(serial);
  std::string text = "failed to write Serial Number\nprobably wrong FX2-Firmware";
  bool written = false;
  uint8_t eeprom[kSignatureSearchBytes] = {};
  EepromRead(usb, 0, eeprom, sizeof eeprom);
  for (size_t p = 0; p < sizeof eeprom - kSignatureBytes; ++p) {
    if (!SignatureAt(eeprom + p)) continue;
    uint32_t at = static_cast<uint32_t>(p + kSignatureBytes);
    int result = EepromWrite(usb, at, descriptor.data(), static_cast<uint32_t>(descriptor.size()));
    written = result >= 0;
    char line[256];
    std::snprintf(line, sizeof line, "found string signature at 0x%.4x\nwrote new serial (%i bytes) at 0x%.4x\n%s",
                  unsigned(p), int(descriptor.size()), unsigned(at), written ? "Repower camera" : "Failed!");
    text = line;
    break;
  }
  Notify(nullptr, QV_MSG_TEXT, written ? kMsgOpenInfo : kMsgOpenWarning, text.c_str());
  return written;
}

void CopySerial(usb_dev_handle* device, char* buffer) {
  std::string serial = ReadSerialString(device);
  if (buffer) std::memcpy(buffer, serial.c_str(), serial.size() + 1);
}

}  // namespace

int ReadControllerEeprom(uint32_t address, uint8_t* buffer, uint32_t count) {
  if (LoadUsbLibrary() != 0) return 0;
  CUsbInterface usb(FirstAvailableDevice());
  return EepromRead(usb, address, buffer, count);
}

int WriteControllerEeprom(const char* fileName) {
  if (LoadUsbLibrary() != 0) return 0;
  CUsbInterface usb(FirstAvailableDevice());
  return WriteEepromFile(usb, fileName);
}

int WriteSerialNumber(const char* serial) {
  if (LoadUsbLibrary() != 0) return 0;
  {
    CUsbInterface usb(FirstAvailableDevice());
    WriteSerialDescriptor(usb, serial);
  }
  return 0;
}

int ReadSerialNumber(char* buffer) {
  if (LoadUsbLibrary() != 0) return 0;
  CUsbInterface usb(FirstAvailableDevice());
  CopySerial(usb.device, buffer);
  return 0;
}

int ReadSelectedEeprom(const char* selection, uint32_t address, uint8_t* buffer, uint32_t count) {
  if (LoadUsbLibrary() != 0) return -1;
  CUsbInterface usb(OpenSelectedCamera(selection));
  return usb.device ? EepromRead(usb, address, buffer, count) : -1;
}

int WriteSelectedEeprom(const char* selection, const char* fileName) {
  if (LoadUsbLibrary() != 0) return -1;
  CUsbInterface usb(OpenSelectedCamera(selection));
  return usb.device ? WriteEepromFile(usb, fileName) : -1;
}

int WriteSelectedSerial(const char* selection, const char* serial) {
  if (LoadUsbLibrary() != 0) return -1;
  CUsbInterface usb(OpenSelectedCamera(selection));
  return usb.device && WriteSerialDescriptor(usb, serial) ? 0 : -1;
}

int ReadSelectedSerial(const char* selection, char* buffer) {
  if (LoadUsbLibrary() != 0) return -1;
  CUsbInterface usb(OpenSelectedCamera(selection));
  if (!usb.device) return -1;
  CopySerial(usb.device, buffer);
  return 0;
}

}  // namespace orvex
