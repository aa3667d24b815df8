// list, info, get, set: looking at and changing a system.
#include <cstdio>
#include <cstring>

#include "Cli.h"

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
  char buffer[17 * 64] = {};
  uint32_t count = QV_GetSerials(buffer);
  if (count > 64) count = 64;  // the buffer holds 64 entries
  std::printf("%u camera(s)\n", count);
  for (uint32_t i = 0; i < count; ++i) {
    char serial[18] = {};
    std::memcpy(serial, buffer + 17 * i, 17);
    std::printf("  %u: serial %s\n", i, serial);
  }
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

int CmdGet(const Options& options) {
  System system(options);
  if (int status = system.status()) return status;
  int status = kOk;
  std::vector<std::string> names = options.args;
  if (names.empty()) {
    const _RegDesc* r = QV_GetRegDesc(system.handle());
    for (uint16_t i = 0; r && i < r->mapCount; ++i)
      if (r->maps[i].id) names.push_back(r->maps[i].id);
  }
  for (const std::string& name : names) {
    if (_Map* map = system.FindMap(name)) {
      uint32_t value = QV_GetMap(system.handle(), map);
      const char* label = EnumName(map, value);
      std::printf("%s=%u%s%s%s\n", name.c_str(), value, label ? " (" : "", label ? label : "", label ? ")" : "");
    } else if (const _Reg* reg = system.FindReg(name)) {
      std::printf("%s=%u\n", name.c_str(), QV_GetReg(system.handle(), reg->num));
    } else {
      std::fprintf(stderr, "unknown map or register: %s\n", name.c_str());
      status = kUnknownName;
    }
  }
  return status;
}

int ApplySetting(const System& system, const std::string& assignment) {
  size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) {
    std::fprintf(stderr, "expected NAME=VALUE, got \"%s\"\n", assignment.c_str());
    return kUsage;
  }
  std::string name = assignment.substr(0, eq), text = assignment.substr(eq + 1);
  uint32_t value = 0;
  if (_Map* map = system.FindMap(name)) {
    if (!ParseMapValue(map, text, &value)) {
      std::fprintf(stderr, "%s: not a number or enumeration name: %s\n", name.c_str(), text.c_str());
      return kUsage;
    }
    if (map->max > map->min && (value < map->min || value > map->max))
      std::fprintf(stderr, "warning: %s=%u is outside %u..%u\n", name.c_str(), value, map->min, map->max);
    QV_SetMap(system.handle(), map, value);
    std::printf("%s=%u\n", name.c_str(), QV_GetMap(system.handle(), map));
    return kOk;
  }
  if (const _Reg* reg = system.FindReg(name)) {
    if (!ParseMapValue(nullptr, text, &value) || value > 255) {
      std::fprintf(stderr, "%s: registers take 0 to 255\n", name.c_str());
      return kUsage;
    }
    QV_SetReg(system.handle(), reg->num, static_cast<uint8_t>(value));
    std::printf("%s=%u\n", name.c_str(), QV_GetReg(system.handle(), reg->num));
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
  for (const std::string& arg : options.args) {
    int status = ApplySetting(system, arg);
    if (status != kOk) return status;
  }
  return kOk;
}

}  // namespace orvexctl
