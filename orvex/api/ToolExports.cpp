// Listings for tools: the systems of the data folder's system description
// and the connected cameras, so that tools need not parse or probe themselves.
#include <cstring>
#include <string>

#include "Orvex.h"
#include "core/ExportGuard.h"
#include "desc/SystemIds.h"
#include "platform/DataFolder.h"
#include "usb/CameraList.h"
#include "usb/UsbLibrary.h"

using namespace orvex;

QV_API uint32_t QV_GetSystemIds(char* buffer, uint32_t size) {
  return Guarded("QV_GetSystemIds", uint32_t{0}, [&] {
    std::string lines;
    for (const std::string& id : SystemIds(DevDescPath("SysDesc.xml"))) lines += id + "\n";
    const uint32_t needed = static_cast<uint32_t>(lines.size() + 1);
    if (buffer && size >= needed) std::memcpy(buffer, lines.c_str(), needed);
    return needed;
  });
}

QV_API uint32_t QV_GetCameras(QV_CameraEntry* entries, uint32_t max) {
  return Guarded("QV_GetCameras", uint32_t{0}, [&] {
    if (LoadUsbLibrary() != 0) return uint32_t{0};
    return ListCameras(entries, max);
  });
}
