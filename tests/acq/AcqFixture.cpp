#include "AcqFixture.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

#include "common/MemorySystem.h"
#include "core/SystemList.h"

namespace acq_test {
namespace {

struct EntrySpec {
  int reg;  // index into the register list
  int8_t shift;
  uint8_t mask;
};
struct MapSpec {
  const char* id;
  uint8_t mode;
  std::vector<EntrySpec> entries;
};

size_t Align(size_t n) { return (n + 7) & ~size_t{7}; }

}  // namespace

_RegDesc* BuildTestRegDesc(const DescOptions& options) {
  const std::vector<std::pair<uint8_t, const char*>> regs = {
      {kRegMode, "Mode"}, {kRegFrames, "Frames"}, {kRegDark, "Dark"}, {kRegHwin, "ExSimpMaxHwin"}, {kRegPlain, "Plain"}};
  std::vector<MapSpec> maps = {
      {options.aliasNames ? "cam_mode" : "CamMode", QV_MAP_RELEASES_ACQ, {{0, 0, 0x07}}},
      {options.aliasNames ? "frames" : "SensNFrames", QV_MAP_RELEASES_ACQ, {{1, 0, 0xFF}}},
      {"SensNDarkFrames", 0, {{2, 0, 0xFF}}},
      {"PlainMap", 0, {{4, 0, 0xFF}}},
  };
  if (options.withComp) maps.push_back({"Comp11to8", QV_MAP_RELEASES_ACQ, {{0, 3, 0x08}}});

  size_t entryCount = 0, textBytes = 0;
  for (auto& r : regs) textBytes += std::strlen(r.second) + 1;
  for (auto& m : maps) {
    entryCount += m.entries.size();
    textBytes += std::strlen(m.id) + 1;
  }
  size_t regsAt = Align(sizeof(_RegDesc));
  size_t mapsAt = regsAt + Align(regs.size() * sizeof(_Reg));
  size_t entriesAt = mapsAt + Align(maps.size() * sizeof(_Map));
  size_t textAt = entriesAt + Align(entryCount * sizeof(regEntry));
  auto* block = static_cast<uint8_t*>(std::calloc(1, textAt + textBytes));
  auto* desc = reinterpret_cast<_RegDesc*>(block);
  auto* outRegs = reinterpret_cast<_Reg*>(block + regsAt);
  auto* outMaps = reinterpret_cast<_Map*>(block + mapsAt);
  auto* outEntries = reinterpret_cast<regEntry*>(block + entriesAt);
  char* text = reinterpret_cast<char*>(block + textAt);
  auto place = [&](const char* s) {
    char* at = text;
    std::strcpy(at, s);
    text += std::strlen(s) + 1;
    return at;
  };
  desc->regCount = static_cast<uint16_t>(regs.size());
  desc->regs = outRegs;
  desc->mapCount = static_cast<uint16_t>(maps.size());
  desc->maps = outMaps;
  for (size_t i = 0; i < regs.size(); ++i) {
    outRegs[i].num = regs[i].first;
    outRegs[i].id = place(regs[i].second);
    outRegs[i].cmt = "";
  }
  size_t e = 0;
  for (size_t i = 0; i < maps.size(); ++i) {
    outMaps[i].id = place(maps[i].id);
    outMaps[i].cmt = "";
    outMaps[i].group = "";
    outMaps[i].mode = maps[i].mode;
    outMaps[i].max = 0xFFFFFFFF;
    regEntry* previous = nullptr;
    for (const EntrySpec& spec : maps[i].entries) {
      regEntry* entry = &outEntries[e++];
      entry->shift = spec.shift;
      entry->mask = spec.mask;
      entry->reg = &outRegs[spec.reg];
      if (previous)
        previous->next = entry;
      else
        outMaps[i].regEntries = entry;
      previous = entry;
    }
  }
  return desc;
}

CPelSys* OpenTestSystem(const DescOptions& options, const std::string& name) {
  CPelSys* system = orvex_test::OpenMemorySystem(name, 256, orvex::BlockPtr<_RegDesc>(BuildTestRegDesc(options)));
  CPelCam& camera = *system->camera;
  camera.MarkRegisterAttributes();
  camera.regImage[kRegFrames] = 1;
  camera.regImage[kRegDark] = 2;
  return system;
}

CPelSys* BuildTestSystem(const char* openString) {
  if (std::strncmp(openString, "sys=acqtest", 11) != 0) return nullptr;
  return OpenTestSystem({}, openString);
}

void SetMode(QV_Handle handle, uint8_t camMode, bool comp) {
  handle->camera->SetReg(kRegMode, static_cast<uint8_t>(camMode | (comp ? 0x08 : 0)));
}

void SetFrames(QV_Handle handle, uint8_t frames) { handle->camera->SetReg(kRegFrames, frames); }

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace acq_test
