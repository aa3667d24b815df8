#include "usb/CameraList.h"

#include <cstring>

#include "usb/DeviceSearch.h"

namespace orvex {
namespace {

constexpr uint16_t kBareVendor = 0x04B4, kBareProduct = 0x8613;

void Describe(const CameraOnBus& camera, QV_CameraEntry& entry) {
  std::memset(&entry, 0, sizeof entry);
  entry.vendorId = camera.vendorId;
  entry.productId = camera.productId;
  if (!camera.opened) return;
  entry.firmware = camera.vendorId == kBareVendor && camera.productId == kBareProduct ? 0 : 1;
  std::memcpy(entry.serial, camera.serial.c_str(), camera.serial.size() < 16 ? camera.serial.size() : 16);
}

}  // namespace

uint32_t ListCameras(QV_CameraEntry* entries, uint32_t max) {
  std::vector<CameraOnBus> cameras = CamerasOnBus();
  for (uint32_t i = 0; entries && i < cameras.size() && i < max; ++i) Describe(cameras[i], entries[i]);
  return static_cast<uint32_t>(cameras.size());
}

}  // namespace orvex
