#include "api/Factory.h"

#include <cstring>
#include <iostream>
#include <memory>

#include "acq/StreamOpen.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "desc/RegDescParser.h"
#include "desc/SysDescParser.h"
#include "desc/SystemIds.h"
#include "platform/DataFolder.h"
#include "usb/OpenUsb.h"

namespace orvex {

namespace {

constexpr size_t kOpenStringChars = 255;

const char* const kKeys[kKeyCount] = {"sys=", "fpga=", "sensor=", "usb=", "eth=", "motion=", "regDesc=", "verbose="};

void RecordToken(const std::string& token, OpenStringValues& result) {
  for (int key = 0; key < kKeyCount; ++key) {
    size_t length = std::strlen(kKeys[key]);
    if (token.compare(0, length, kKeys[key]) == 0) {
      result.values[key] = token.substr(length);
      return;
    }
  }
}

}  // namespace

OpenStringValues TokeniseOpenString(const char* openString) {
  OpenStringValues result;
  if (!openString) return result;
  const std::string text(openString, strnlen(openString, kOpenStringChars));
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t end = text.find(' ', begin);
    if (end == std::string::npos) end = text.size();
    if (end > begin) RecordToken(text.substr(begin, end - begin), result);
    begin = end + 1;
  }
  return result;
}

}  // namespace orvex

using namespace orvex;

namespace {

const char* ValueOrNull(const std::optional<std::string>& value) { return value ? value->c_str() : nullptr; }

BlockPtr<_SysDesc> LoadSystemDescription(const OpenStringValues& values, uint8_t diagnostics) {
  const std::string path = DevDescPath("SysDesc.xml");
  CSysDescParser parser;
  if (LoadDescriptionFile(parser, path, std::cerr) != 0) {
    ReportText(nullptr, kMsgOpenWarning, "Could not open or parse file %s", path.c_str());
    return nullptr;
  }
  parser.ClearSelection();
  for (int part = kPartSystem; part < kPartCount; ++part)
    parser.wanted[part] = ValueOrNull(values.values[kKeySys + part]);
  BlockPtr<_SysDesc> desc = FindSystem(parser, diagnostics, std::cerr);
  if (diagnostics) DumpSysDesc(0xFFFFFFFF, std::cerr, desc.get());
  return desc;
}

BlockPtr<_RegDesc> LoadRegisterDescription(const std::string& name, uint8_t diagnostics) {
  const std::string path = DevDescPath(name);
  CRegDescParser parser;
  if (LoadDescriptionFile(parser, path, std::cerr) != 0) {
    ReportText(nullptr, kMsgOpenWarning, "Could not open or parse file %s", path.c_str());
    return nullptr;
  }
  BlockPtr<_RegDesc> desc = BuildRegDesc(parser, diagnostics, std::cerr);
  if (diagnostics) DumpRegDesc(0xFFFFFFFF, std::cerr, desc.get());
  return desc;
}

// The register description named by "regDesc=", else by the selected FPGA entry.
std::optional<std::string> RegisterDescriptionName(const OpenStringValues& values, const _SysDesc& desc) {
  if (values[kKeyRegDesc]) return values[kKeyRegDesc];
  if (desc.fpga && desc.fpga->regDesc) return std::string(desc.fpga->regDesc);
  return std::nullopt;
}

void SetSensorSize(CPelCam& camera, const _SysDesc& desc) {
  if (!desc.sensor) return;
  // Zero-extended: a size is never negative, and callers size buffers from it.
  const uint32_t width = static_cast<uint16_t>(desc.sensor->size[0]);
  const uint32_t height = static_cast<uint16_t>(desc.sensor->size[1]);
  std::memcpy(camera.camInfo + 8, &width, sizeof width);
  std::memcpy(camera.camInfo + 12, &height, sizeof height);
}

void SizeRegisters(CPelCam& camera) {
  const _RegDesc* desc = camera.regDesc.get();
  size_t highest = 0;
  for (uint16_t i = 0; i < desc->regCount; ++i)
    if (desc->regs[i].num > highest) highest = desc->regs[i].num;
  camera.SizeRegisterImage(highest + 1);
  camera.MarkRegisterAttributes();
}

}  // namespace

CPelSys* CFactory::BuildSystem(const char* openString) {
  const OpenStringValues values = TokeniseOpenString(openString);
  const uint8_t diagnostics = values[kKeyVerbose] ? 0xFF : 0;

  BlockPtr<_SysDesc> sysDesc = LoadSystemDescription(values, diagnostics);
  if (!sysDesc) return nullptr;
  const std::optional<std::string> regDescName = RegisterDescriptionName(values, *sysDesc);
  if (!regDescName) {
    if (values[kKeySys] && !sysDesc->sysId) {
      const std::string path = DevDescPath("SysDesc.xml");
      ReportText(nullptr, kMsgOpenWarning, "unknown system \"%s\"; %s offers: %s", values[kKeySys]->c_str(),
                 path.c_str(), JoinedSystemIds(path).c_str());
      return nullptr;
    }
    ReportText(nullptr, kMsgOpenWarning,
               "CFactory::BuildSysVA(): no register description: neither regDesc= nor an FPGA entry naming one");
    return nullptr;
  }
  BlockPtr<_RegDesc> regDesc = LoadRegisterDescription(*regDescName, diagnostics);
  if (!regDesc) return nullptr;

  // Everything is built before the system joins the list, so a failure on the
  // way leaves the list as it was.
  auto system = std::make_unique<CPelSys>();
  system->name = openString ? openString : "";
  system->camera = std::make_unique<CPelCam>(system.get());
  CPelCam& camera = *system->camera;
  camera.regDesc = std::move(regDesc);
  SetSensorSize(camera, *sysDesc);
  SizeRegisters(camera);
  system->sysDesc = std::move(sysDesc);
  return AppendSystem(std::move(system));
}

CPelSys* CFactory::OpenDevice(const char* openString, uint32_t mode) {
  CPelSys* system = BuildSystem(openString);
  if (!system) return nullptr;
  // A system without a USB part stays unconnected and delivers the test pattern.
  if (system->sysDesc->usb && ConnectUsb(*system, mode) < 0) {
    CloseSystem(system);
    return nullptr;
  }
  if (system->camera->GetAllReg() < 0) {
    Notify(nullptr, QV_MSG_TEXT, kMsgOpenWarning, "CFactory::BuildSysVA(): GetAllReg failed");
    CloseSystem(system);
    return nullptr;
  }
  return system;
}

// Device selection by "serial="/"verbose=", firmware upload and
// re-enumeration, then the connection with or without the FPGA download.
int32_t CFactory::ConnectUsb(CPelSys& system, uint32_t mode) {
  return ConnectUsbCamera(system, system.name.c_str(), mode) ? 0 : -1;
}

// The stream is checked before anything is built; the system comes from the
// open string recorded in it, and its registers from the recorded snapshot.
CPelSys* CFactory::OpenStream(const char* path) { return orvex::OpenSystemOnStream(path, &CFactory::BuildSystem); }
