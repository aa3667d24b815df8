// Exported USB services without a system handle (and the raw transfers).
#include <cstdarg>

#include "Orvex.h"
#include "core/ExportGuard.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "usb/DeviceSearch.h"
#include "usb/Firmware.h"
#include "usb/InternalFunctions.h"
#include "usb/UsbInterface.h"
#include "usb/UsbLibrary.h"

using namespace orvex;

namespace {

// QV_InternalFunc cannot tell a device argument from a missing one, so only
// a device held by one of the open systems is taken; anything else counts as
// "no device" and the first available one is used.
usb_dev_handle* KnownDevice(usb_dev_handle* candidate) {
  if (!candidate) return nullptr;
  const bool held = AnyOpenSystem([candidate](const CPelSys& system) {
    const CPelCam& camera = *system.camera;
    return camera.interfaceKind == kUsbDevice && camera.usb && camera.usb->device == candidate;
  });
  return held ? candidate : nullptr;
}

int32_t BulkTransfer(bool read, QV_Handle handle, uint32_t endpoint, void* buffer, uint32_t length) {
  CPelSys* system = CheckHandle(handle);
  if (!system) return -1;
  CPelCam& camera = *system->camera;
  if (camera.interfaceKind != kUsbDevice || !camera.usb || !camera.usb->device) return -1;
  return read ? camera.usb->BulkRead(endpoint, buffer, length) : camera.usb->BulkWrite(endpoint, buffer, length);
}

int32_t RunInternalFunc(int32_t code, va_list args) {
  switch (code) {
    case IF_WriteFX2_RAM: {
      const char* name = va_arg(args, const char*);
      usb_dev_handle* device = va_arg(args, usb_dev_handle*);
      return LoadAndUploadFirmware(name, KnownDevice(device));
    }
    case IF_ReadFX2_EEPROM: {
      uint32_t address = va_arg(args, uint32_t);
      auto* buffer = va_arg(args, uint8_t*);
      uint32_t count = va_arg(args, uint32_t);
      return ReadControllerEeprom(address, buffer, count);
    }
    case IF_WriteFX2_EEPROM:
      return WriteControllerEeprom(va_arg(args, const char*));
    case IF_WriteSerial:
      return WriteSerialNumber(va_arg(args, const char*));
    case IF_ReadSerial:
      return ReadSerialNumber(va_arg(args, char*));
    case IF_ReadFX2_EEPROM_Selected: {
      const char* selection = va_arg(args, const char*);
      uint32_t address = va_arg(args, uint32_t);
      auto* buffer = va_arg(args, uint8_t*);
      uint32_t count = va_arg(args, uint32_t);
      return ReadSelectedEeprom(selection, address, buffer, count);
    }
    case IF_WriteFX2_EEPROM_Selected: {
      const char* selection = va_arg(args, const char*);
      return WriteSelectedEeprom(selection, va_arg(args, const char*));
    }
    case IF_WriteSerial_Selected: {
      const char* selection = va_arg(args, const char*);
      return WriteSelectedSerial(selection, va_arg(args, const char*));
    }
    case IF_ReadSerial_Selected: {
      const char* selection = va_arg(args, const char*);
      return ReadSelectedSerial(selection, va_arg(args, char*));
    }
    case IF_BulkRead:
    case IF_BulkWrite: {
      auto handle = va_arg(args, QV_Handle);
      uint32_t endpoint = va_arg(args, uint32_t);
      void* buffer = va_arg(args, void*);
      uint32_t length = va_arg(args, uint32_t);
      return BulkTransfer(code == IF_BulkRead, handle, endpoint, buffer, length);
    }
    default:
      return 0;
  }
}

}  // namespace

extern "C" {

QV_API uint32_t QV_GetSerials(char* buffer) {
  return Guarded("QV_GetSerials", uint32_t{0}, [&] {
    if (LoadUsbLibrary() != 0) return uint32_t{0};
    return ListSerials(buffer);
  });
}

QV_API int32_t QV_InternalFunc(int32_t code, ...) {
  va_list args;
  va_start(args, code);
  int32_t result = Guarded("QV_InternalFunc", int32_t{-1}, [&] { return RunInternalFunc(code, args); });
  va_end(args);
  return result;
}

}  // extern "C"
