#include "RegisterModel.h"

#include <cstdlib>
#include <cstring>

#include <pugixml.hpp>

namespace orvex_emu {
namespace {

constexpr int kBusyReadsDefault = 2;

bool EndsWith(const char* text, const char* tail) {
  size_t n = std::strlen(text), m = std::strlen(tail);
  return n >= m && std::strcmp(text + n - m, tail) == 0;
}

int Number(const char* text) { return static_cast<int>(std::strtol(text, nullptr, 0)); }

}  // namespace

bool LoadRegisterModel(const std::string& path, int busyReads, RegisterModel& model) {
  pugi::xml_document doc;
  if (!doc.load_file(path.c_str())) return false;
  for (pugi::xpath_node found : doc.select_nodes("//Reg[Map]")) {
    pugi::xml_node reg = found.node();
    int address = Number(reg.attribute("num").value()) & 0xFF;
    for (pugi::xml_node map : reg.children("Map")) {
      const char* type = map.attribute("type").value();
      if (!EndsWith(map.attribute("id").value(), "Busy") || std::strncmp(type, "bool:", 5) != 0) continue;
      int bit = Number(type + 5);
      if (bit < 0 || bit > 7) continue;
      if (model.busy.enabled && model.busy.address != address) continue;
      model.busy.enabled = true;
      model.busy.address = static_cast<uint8_t>(address);
      model.busy.mask = static_cast<uint8_t>(model.busy.mask | (1u << bit));
      model.busy.reads = busyReads > 0 ? busyReads : kBusyReadsDefault;
    }
  }
  pugi::xml_node counter = doc.select_node("//Map[@id='FrameCnt']").node();
  for (pugi::xml_node reg : counter.children("Reg")) {
    int address = Number(reg.attribute("num").value()) & 0xFF;
    int position = Number(reg.attribute("bit").value());
    if (position == 0) model.frameCounterLow = address;
    if (position == 8) model.frameCounterHigh = address;
  }
  return true;
}

std::string DefaultRegisterDescription() {
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  std::string first = dirs && *dirs ? std::string(dirs).substr(0, std::string(dirs).find(':')) : "";
  if (first.empty()) first = ORVEX_EMULATOR_DATADIR;
  return first + "/Tavrin/devDesc/RegDesc_k7_tq20.xml";
}

}  // namespace orvex_emu
