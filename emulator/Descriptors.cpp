#include "Descriptors.h"

namespace orvex_emu {
namespace {

constexpr uint8_t kTypeDevice = 1;
constexpr uint8_t kTypeConfiguration = 2;
constexpr uint8_t kTypeString = 3;
constexpr uint8_t kTypeInterface = 4;
constexpr uint8_t kTypeEndpoint = 5;
constexpr uint8_t kBulk = 2;
constexpr uint8_t kEndpoints[] = {0x01, 0x81, 0x08, 0x82};

void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}

}  // namespace

std::vector<uint8_t> DeviceDescriptor(const VirtualCamera& camera) {
  std::vector<uint8_t> d = {18, kTypeDevice};
  Put16(d, 0x0200);
  d.insert(d.end(), {0xFF, 0, 0, 64});
  Put16(d, camera.VendorId());
  Put16(d, camera.ProductId());
  Put16(d, camera.DeviceId());
  d.push_back(camera.FirmwareRunning() ? 1 : 0);
  d.push_back(camera.FirmwareRunning() ? 2 : 0);
  d.push_back(camera.HasSerialString() ? 3 : 0);
  d.push_back(1);
  return d;
}

std::vector<uint8_t> ConfigurationDescriptor() {
  const uint16_t total = 9 + 9 + 7 * sizeof kEndpoints;
  std::vector<uint8_t> c = {9, kTypeConfiguration};
  Put16(c, total);
  c.insert(c.end(), {1, 1, 0, 0x80, 50});
  c.insert(c.end(), {9, kTypeInterface, 0, 0, uint8_t(sizeof kEndpoints), 0xFF, 0, 0, 0});
  for (uint8_t address : kEndpoints) c.insert(c.end(), {7, kTypeEndpoint, address, kBulk, 0x00, 0x02, 0});
  return c;
}

std::vector<uint8_t> StandardDescriptor(const VirtualCamera& camera, int type, int index) {
  if (type == kTypeDevice) return DeviceDescriptor(camera);
  if (type == kTypeConfiguration) return ConfigurationDescriptor();
  if (type == kTypeString) return camera.StringDescriptor(index);
  return {};
}

}  // namespace orvex_emu
