// Exported functions of the API frame that have no other home.
#include <cstring>

#include "Orvex.h"
#include "core/ExportGuard.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "platform/ModuleVersion.h"
#include "usb/UsbInterface.h"

using namespace orvex;

extern "C" {

QV_API QV_Callback QV_SetCallback(QV_Callback cb) { return InstallCallback(cb); }

QV_API QV_Callback QV_GetDefaultCallback(void) { return &DefaultCallback; }

QV_API int32_t QV_GetVersion(uint16_t* ver) {
  return Guarded("QV_GetVersion", int32_t{-1}, [&] {
    uint16_t words[4];
    VersionStatus status = ReadModuleVersion(reinterpret_cast<const void*>(&QV_GetVersion), words);
    if (status == VersionStatus::Ok && ver) std::memcpy(ver, words, sizeof words);
    return static_cast<int32_t>(status);
  });
}

QV_API int32_t QV_Close(QV_Handle handle) {
  return Guarded("QV_Close", int32_t{-1}, [&] {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    CloseSystem(system);
    return 0;
  });
}

QV_API int32_t QV_SetTimeout(QV_Handle handle, uint32_t milliseconds) {
  return Guarded("QV_SetTimeout", int32_t{-1}, [&] {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    CPelCam& camera = *system->camera;
    if (camera.interfaceKind != kUsbDevice || !camera.usb) return 0;
    uint32_t previous = camera.usb->timeoutMs;
    camera.usb->timeoutMs = milliseconds;
    return static_cast<int32_t>(previous);
  });
}

QV_API int32_t QV_SetCamInfo(QV_Handle handle, const void* info60) {
  CPelSys* system = CheckHandle(handle);
  if (!system) return -1;
  if (!info60) return -1;
  std::memcpy(system->camera->camInfo, info60, kCamInfoSize);
  return 0;
}

QV_API int32_t QV_GetCamInfo(QV_Handle handle, void* info60) {
  CPelSys* system = CheckHandle(handle);
  if (!system) return -1;
  if (!info60) return -1;
  std::memcpy(info60, system->camera->camInfo, kCamInfoSize);
  return 0;
}

QV_API int32_t QV_CleanUSB(QV_Handle handle) {
  return Guarded("QV_CleanUSB", int32_t{-1}, [&] {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    CPelCam& camera = *system->camera;
    if (camera.interfaceKind != kUsbDevice) return 1;
    if (!camera.usb || !camera.usb->device) return -1;
    int result = 0;
    // Only the last result counts; the earlier clears are best effort.
    for (unsigned endpoint : {0x08u, 0x01u, 0x81u, 0x82u}) result = camera.usb->ClearHalt(endpoint);
    return static_cast<int32_t>(result);
  });
}

QV_API int32_t QV_OpenFile(const char* /*fileName*/) { return 0; }

QV_API int32_t QV_CheckForNewDllVersion(void) { return 0; }

}  // extern "C"
