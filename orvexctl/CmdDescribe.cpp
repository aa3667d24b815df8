// list, info, get, set: looking at and changing a system.
#include <cstdio>
#include <cstring>

#include "Cli.h"
#include "MapValue.h"

namespace orvexctl {
namespace {

const char* Text(const char* text) { return text ? text : "-"; }

void PrintFeatures(uint32_t bits, const char* const* names, int count) {
  bool any = false;
  for (int bit = 0; bit < count; ++bit) {
    if (!(bits & (1u << bit))) continue;
    std::printf("%s%s", any ? ", " : "", names ? names[bit] : "?");
    any = true;
  }
  std::printf("%s\n", any ? "" : "none");
}

}  // namespace

int CmdList(const Options&) {
  constexpr uint32_t kMaxListed = 64;
  QV_CameraEntry cameras[kMaxListed] = {};
  uint32_t count = QV_GetCameras(cameras, kMaxListed);
  if (count > kMaxListed) count = kMaxListed;
  std::printf("%u camera(s)\n", count);
  for (uint32_t i = 0; i < count; ++i) {
    const QV_CameraEntry& c = cameras[i];
    std::printf("  %u: serial %s  usb %04x:%04x  %s\n", i, c.serial[0] ? c.serial : "-", c.vendorId, c.productId,
                c.firmware ? "firmware running" : "no firmware (loaded at the next open)");
  }
  return kOk;
}

int CmdSystems(const Options&) {
  uint32_t size = QV_GetSystemIds(nullptr, 0);
  std::string ids(size, '\0');
  if (size <= 1 || QV_GetSystemIds(&ids[0], size) != size) {
    std::fprintf(stderr, "the data folder offers no system description\n");
    return kFailed;
  }
  std::fputs(ids.c_str(), stdout);
  return kOk;
}

int CmdInfo(const Options& options) {
  System system(options);
  if (int status = system.status()) return status;
  const _SysDesc* d = QV_GetSysDesc(system.handle());
  if (!d) return kFailed;
  std::printf("system   %s\n", Text(d->sysId));
  if (d->fpga) {
    std::printf("fpga     %s  regDesc %s  config %s  version %s\n", Text(d->fpga->id), Text(d->fpga->regDesc),
                Text(d->fpga->fpgaCfg), Text(d->fpga->verStr));
    std::printf("         features: ");
    PrintFeatures(d->fpga->feature, d->fpgaFeatureNames, 23);
  }
  if (d->sensor)
    std::printf("sensor   %s  %d x %d pixels, pitch %g x %g\n", Text(d->sensor->id), d->sensor->size[0],
                d->sensor->size[1], d->sensor->pixPitch[0], d->sensor->pixPitch[1]);
  if (d->usb) {
    std::printf("usb      %s  %04x:%04x  protocol %d  firmware %s\n", Text(d->usb->id),
                static_cast<uint16_t>(d->usb->vendorID), static_cast<uint16_t>(d->usb->productID), d->usb->protocol,
                Text(d->usb->fx2FW));
    std::printf("         features: ");
    PrintFeatures(d->usb->feature, d->usbFeatureNames, 5);
  } else {
    std::printf("usb      none (unconnected system, test pattern)\n");
  }
  const _RegDesc* r = QV_GetRegDesc(system.handle());
  if (r) std::printf("registers %u, maps %u\n", r->regCount, r->mapCount);
  return kOk;
}

namespace {

void PrintValue(const System& system, const std::string& name, _Map* map) {
  uint32_t value = QV_GetMap(system.handle(), map);
  const char* label = EnumName(map, value);
  std::printf("%s=%u%s%s%s\n", name.c_str(), value, label ? " (" : "", label ? label : "", label ? ")" : "");
}

// NAME: the valid range and enumeration names of one map.
void PrintChoices(const std::string& name, const _Map* map) {
  uint32_t low = 0, high = 0;
  MapRange(map, &low, &high);
  std::string names = EnumNames(map);
  std::printf("%s: %u..%u%s%s\n", name.c_str(), low, high, names.empty() ? "" : "  ", names.c_str());
}

std::vector<std::string> AllMapNames(const System& system) {
  std::vector<std::string> names;
  const _RegDesc* r = QV_GetRegDesc(system.handle());
  for (uint16_t i = 0; r && i < r->mapCount; ++i)
    if (r->maps[i].id) names.push_back(r->maps[i].id);
  return names;
}

}  // namespace

int CmdGet(const Options& options) {
  std::vector<std::string> names = options.args;
  bool choices = !names.empty() && names[0] == "--names";
  if (choices) names.erase(names.begin());
  System system(options);
  if (int status = system.status()) return status;
  if (names.empty()) names = AllMapNames(system);
  int status = kOk;
  for (const std::string& name : names) {
    _Map* map = system.FindMap(name);
    const _Reg* reg = map ? nullptr : system.FindReg(name);
    if (map && choices) {
      PrintChoices(name, map);
    } else if (map) {
      PrintValue(system, name, map);
    } else if (reg && choices) {
      std::printf("%s: 0..255\n", name.c_str());
    } else if (reg) {
      std::printf("%s=%u\n", name.c_str(), QV_GetReg(system.handle(), reg->num));
    } else {
      std::fprintf(stderr, "unknown map or register: %s\n", name.c_str());
      status = kUnknownName;
    }
  }
  return status;
}

int ApplySetting(const System& system, const std::string& assignment, FILE* echo) {
  size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) {
    std::fprintf(stderr, "expected NAME=VALUE, got \"%s\"\n", assignment.c_str());
    return kUsage;
  }
  std::string name = assignment.substr(0, eq), text = assignment.substr(eq + 1);
  uint32_t value = 0;
  if (_Map* map = system.FindMap(name)) {
    std::string problem = ParseMapValue(map, text, &value);
    if (!problem.empty()) {
      std::fprintf(stderr, "%s: %s; nothing written\n", name.c_str(), problem.c_str());
      return kUsage;
    }
    if (!echo) return kOk;
    QV_SetMap(system.handle(), map, value);
    std::fprintf(echo, "%s=%u\n", name.c_str(), QV_GetMap(system.handle(), map));
    return kOk;
  }
  if (const _Reg* reg = system.FindReg(name)) {
    if (!ParseWholeNumber(text, 255, &value)) {
      std::fprintf(stderr, "%s: \"%s\" refused: registers take whole numbers 0..255; nothing written\n",
                   name.c_str(), text.c_str());
      return kUsage;
    }
    if (!echo) return kOk;
    QV_SetReg(system.handle(), reg->num, static_cast<uint8_t>(value));
    std::fprintf(echo, "%s=%u\n", name.c_str(), QV_GetReg(system.handle(), reg->num));
    return kOk;
  }
  std::fprintf(stderr, "unknown map or register: %s\n", name.c_str());
  return kUnknownName;
}

int CmdSet(const Options& options) {
  if (options.args.empty()) {
    std::fprintf(stderr, "set: give NAME=VALUE ...\n");
    return kUsage;
  }
  System system(options);
  if (int status = system.status()) return status;
  return ApplySettings(system, options.args, stdout);
}

int ApplySettings(const System& system, const std::vector<std::string>& assignments, FILE* echo) {
  // Every value is checked before the first is written.
  for (const std::string& assignment : assignments)
    if (int status = ApplySetting(system, assignment, nullptr)) return status;
  for (const std::string& assignment : assignments)
    if (int status = ApplySetting(system, assignment, echo)) return status;
  return kOk;
}

}  // namespace orvexctl
