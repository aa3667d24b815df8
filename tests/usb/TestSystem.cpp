#include "TestSystem.h"

#include <cstdlib>
#include <memory>

#include "common/MemorySystem.h"
#include "core/SystemList.h"
#include "usb/DeviceSearch.h"
#include "usb/FpgaDownload.h"
#include "usb/UsbLibrary.h"

namespace orvex_test {
namespace {

struct SysBlock {
  _SysDesc sys;
  _FpgaDesc fpga;
  _UsbDesc usb;
};

struct RegBlock {
  _RegDesc desc;
  _Reg regs[4];
  _Map maps[2];
  regEntry entries[3];
};

orvex::BlockPtr<_SysDesc> MakeSysDesc(const TestSystemOptions& options) {
  auto* block = static_cast<SysBlock*>(std::calloc(1, sizeof(SysBlock)));
  block->sys.sysId = "test_sys";
  block->sys.fpga = &block->fpga;
  block->fpga.fpgaCfg = options.fpgaCfg;
  if (options.withUsb) {
    block->sys.usb = &block->usb;
    block->usb.protocol = options.protocol;
    block->usb.fx2FW = options.fx2FW;
  }
  return orvex::BlockPtr<_SysDesc>(&block->sys);
}

orvex::BlockPtr<_RegDesc> MakeRegDesc() {
  auto* block = static_cast<RegBlock*>(std::calloc(1, sizeof(RegBlock)));
  const uint8_t addresses[] = {kStatusReg, kPlainReg, kWideLowReg, kWideHighReg};
  const char* names[] = {"Status", "Plain", "WideLow", "WideHigh"};
  for (int i = 0; i < 4; ++i) block->regs[i] = {addresses[i], names[i], nullptr};
  block->entries[0] = {0, 0xFF, &block->regs[0], nullptr};
  block->entries[1] = {0, 0xFF, &block->regs[2], &block->entries[2]};
  block->entries[2] = {-8, 0xFF, &block->regs[3], nullptr};
  block->maps[0].id = "StatusMap";
  block->maps[0].mode = QV_MAP_READ_THROUGH;
  block->maps[0].regEntries = &block->entries[0];
  block->maps[1].id = "Wide";
  block->maps[1].regEntries = &block->entries[1];
  block->desc = {4, block->regs, 2, block->maps};
  return orvex::BlockPtr<_RegDesc>(&block->desc);
}

}  // namespace

TestSystem::TestSystem(const TestSystemOptions& options) {
  system_ = OpenMemorySystem("sys=test_sys", kWideHighReg + 1, MakeRegDesc(), MakeSysDesc(options));
  system_->camera->regAttr[kStatusReg] = orvex::kAttrReadThrough;
}

TestSystem::~TestSystem() { orvex::CloseSystem(system_); }

_Map* TestSystem::StatusMap() const { return &camera().regDesc->maps[0]; }
_Map* TestSystem::WideMap() const { return &camera().regDesc->maps[1]; }

int TestSystem::Connect(uint32_t mode) {
  if (orvex::LoadUsbLibrary() != 0) return -100;
  usb_dev_handle* device = orvex::FindCameraDevice({});
  if (!device) return -100;
  return orvex::SetInterfaceUSB(camera(), device, mode);
}

}  // namespace orvex_test
