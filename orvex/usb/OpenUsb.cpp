#include "usb/OpenUsb.h"

#include "core/Messages.h"
#include "core/PelSys.h"
#include "platform/Sleep.h"
#include "usb/DeviceSearch.h"
#include "usb/Firmware.h"
#include "usb/FpgaDownload.h"
#include "usb/UsbInterface.h"
#include "usb/UsbLibrary.h"

namespace orvex {
namespace {

void Report(const char* text) { Notify(nullptr, QV_MSG_TEXT, kMsgOpenWarning, text); }

void WaitForRenumeration() {
  for (int step = 0; step < kRenumerateSteps; ++step) {
    ReportProgress(static_cast<uint32_t>(step * 2), QV_PROGRESS_UPDATE, "wait FX2 renumerate...");
    SleepMs(kRenumerateStepMs);
  }
  ReportProgress(0, QV_PROGRESS_CLOSE, "Done");
}

// Gives a bare controller its firmware. False (device closed) when there is
// no firmware to give or the upload failed; the open goes on without device.
bool UploadControllerFirmware(const _UsbDesc& usbDesc, usb_dev_handle* device) {
  if (!usbDesc.fx2FW) {
    Report("CFactory::BuildSysVA(): unknown FX2 firmware file to upload");
    ReleaseAndClose(device);
    return false;
  }
  ReportProgress(0, QV_PROGRESS_UPDATE, "Upload FX2 firmware...");
  if (LoadAndUploadFirmware(usbDesc.fx2FW, device) != 0) {
    ReportProgress(0, QV_PROGRESS_CLOSE, "failed");
    Report("CFactory::BuildSysVA(): upload FX2 firmware failed");
    ReleaseAndClose(device);
    return false;
  }
  // The handle refers to the controller as it was before its reset.
  ReleaseAndClose(device);
  WaitForRenumeration();
  return true;
}

}  // namespace

bool ConnectUsbCamera(CPelSys& system, const char* openString, uint32_t mode) {
  const _SysDesc* desc = system.sysDesc.get();
  if (!desc || !desc->usb) return true;
  DeviceSelection selection = ParseDeviceSelection(openString);
  if (LoadUsbLibrary() != 0) {
    Report("CFactory::BuildSysVA(): Could not initialize USB library");
    return false;
  }
  usb_dev_handle* device = nullptr;
  for (int uploads = 0;; ++uploads) {
    std::string refusal;
    device = FindCameraDevice(selection, &refusal);
    if (!device) {
      if (!refusal.empty()) Report(refusal.c_str());
      Report("CFactory::BuildSysVA(): Could not open any USB device");
      return false;
    }
    if (!IsBareController(device)) break;
    if (uploads == kMaxFirmwareUploads) {
      ReleaseAndClose(device);
      Report("CFactory::BuildSysVA(): Could not open any USB device");
      return false;
    }
    if (!UploadControllerFirmware(*desc->usb, device)) {
      device = nullptr;
      break;
    }
  }
  if (SetInterfaceUSB(*system.camera, device, mode) < 0) {
    Report("CFactory::BuildSysVA(): upload firmware failed");
    return false;
  }
  return true;
}

}  // namespace orvex
