#include "RegisterTests.h"

#include <cstddef>
#include <cstring>

#include "CameraSystem.h"
#include "RegDescLookup.h"
#include "TestEnv.h"

namespace {

constexpr size_t kSerialSlotSize = 17;
constexpr size_t kSerialSlots = 127;

void WalkRegisters(const TestEnv& env, QV_Handle handle, const _RegDesc& desc) {
  PrintDashLine(env.Out());
  env.Print("Testing Register access:\n");
  for (uint16_t i = 0; i < desc.regCount; ++i) {
    uint8_t address = desc.regs[i].num;
    QV_SetReg(handle, address, static_cast<uint8_t>((2 * i + 11) & 255));
    QV_GetReg(handle, address);
  }
}

void PrintMatchingValueNames(const TestEnv& env, const _Map& map, uint32_t value) {
  for (const enumEntry* entry = map.enumEntries; entry; entry = entry->next) {
    if (static_cast<uint32_t>(entry->value) == value) env.Print(":%s", TextOrEmpty(entry->name));
  }
}

void WalkMaps(const TestEnv& env, QV_Handle handle, const _RegDesc& desc) {
  PrintDashLine(env.Out());
  env.Print("Testing Mapping access:\n");
  PrintDashLine(env.Out());
  for (uint16_t i = 0; i < desc.mapCount; ++i) {
    _Map& map = desc.maps[i];
    uint32_t value = QV_GetMap(handle, &map);
    env.Print("%s: %u", TextOrEmpty(map.id), value);
    PrintMatchingValueNames(env, map, value);
    env.Print("\n");
  }
}

}  // namespace

int32_t LogVersion(const TestEnv& env) {
  uint16_t version[4] = {};
  int32_t status = QV_GetVersion(version);
  env.report.Log("QV_GetVersion %i.%i.%i.%i", version[3], version[2], version[1], version[0]);
  return status;
}

void TestShowRegisterDescription(const TestEnv& env) {
  LogVersion(env);
  CameraSystem camera;
  if (!OpenSucceeded(camera.Open(QV_OPEN_USB, "sys=k7cam_tq20 verbose=1"))) return;
  const _RegDesc* desc = QV_GetRegDesc(camera.Handle());
  QV_GetSysDesc(camera.Handle());
  if (desc && desc->regs) WalkRegisters(env, camera.Handle(), *desc);
  if (desc && desc->maps) WalkMaps(env, camera.Handle(), *desc);
  camera.Close();
}

void TestRegisterDialog(const TestEnv&) {
  CameraSystem camera;
  if (!OpenSucceeded(camera.Open(QV_OPEN_USB, kTestSystem))) return;
  QV_OpenDlgRegDesc(camera.Handle(), nullptr);
  camera.Close();
}

void TestSerialNumbers(const TestEnv& env) {
  char serials[kSerialSlots * kSerialSlotSize] = {};
  uint32_t count = QV_GetSerials(serials);
  LogVersion(env);
  PrintDashLine(env.Out());
  env.report.Log("QV_GetSerials Number of connected dev: %i", static_cast<int>(count));
  // More cameras than slots cannot be listed; never read past the buffer.
  uint32_t listed = count < kSerialSlots ? count : kSerialSlots;
  for (uint32_t i = 0; i < listed; ++i) {
    char serial[kSerialSlotSize + 1] = {};
    std::memcpy(serial, serials + i * kSerialSlotSize, kSerialSlotSize);
    env.report.Log("Serial number: %s", serial);
  }
}

void TestHeaderLayout(const TestEnv& env) {
  env.Print("sizeof %i\n", static_cast<int>(sizeof(CamDataHdr)));
  env.Print("0x%.4x dummy0\n", static_cast<unsigned>(offsetof(CamDataHdr, dummy0) / 2));
  env.Print("0x%.4x syncWord\n", static_cast<unsigned>(offsetof(CamDataHdr, syncWord) / 2));
  env.Print("0x%.4x dummy1\n", static_cast<unsigned>(offsetof(CamDataHdr, dummy1) / 2));
  env.Print("0x%.4x zTags\n", static_cast<unsigned>(offsetof(CamDataHdr, zTags) / 2));
  env.Print("0x%.4x dummy2\n", static_cast<unsigned>(offsetof(CamDataHdr, dummy2) / 2));
  env.Print("0x%.4x tmpOptics\n", static_cast<unsigned>(offsetof(CamDataHdr, tmpOptics) / 2));
  env.Print("0x%.4x tmpLaser\n", static_cast<unsigned>(offsetof(CamDataHdr, tmpLaser) / 2));
  env.Print("0x%.4x frmDur\n", static_cast<unsigned>(offsetof(CamDataHdr, frmDur) / 2));
  env.Print("0x%.4x scanDur\n", static_cast<unsigned>(offsetof(CamDataHdr, scanDur) / 2));
  env.Print("0x%.4x timeStamp\n", static_cast<unsigned>(offsetof(CamDataHdr, timeStamp) / 2));
  env.Print("0x%.4x nFrames\n", static_cast<unsigned>(offsetof(CamDataHdr, nFrames) / 2));
  env.Print("0x%.4x dummy3\n", static_cast<unsigned>(offsetof(CamDataHdr, dummy3) / 2));
  env.Print("0x%.4x nVolume\n", static_cast<unsigned>(offsetof(CamDataHdr, nVolume) / 2));
}
