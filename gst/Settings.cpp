#include "Settings.h"

#include <cstdlib>
#include <sstream>

namespace orvexgst {
namespace {

_Map* FindMap(_RegDesc* desc, const std::string& name) {
  for (uint16_t i = 0; desc && i < desc->mapCount; ++i)
    if (desc->maps[i].id && name == desc->maps[i].id) return &desc->maps[i];
  return nullptr;
}

const _Reg* FindReg(_RegDesc* desc, const std::string& name) {
  for (uint16_t i = 0; desc && i < desc->regCount; ++i)
    if (desc->regs[i].id && name == desc->regs[i].id) return &desc->regs[i];
  return nullptr;
}

bool ParseNumber(const std::string& text, uint32_t* value) {
  if (text.empty() || text[0] == '-') return false;
  char* end = nullptr;
  unsigned long long number = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || number > 0xFFFFFFFFull) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

bool ParseMapValue(const _Map* map, const std::string& text, uint32_t* value) {
  for (const enumEntry* e = map->enumEntries; e; e = e->next) {
    if (e->name && text == e->name) {
      *value = static_cast<uint32_t>(e->value);
      return true;
    }
  }
  return ParseNumber(text, value);
}

std::string ApplyOne(QV_Handle handle, _RegDesc* desc, const std::string& assignment) {
  size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) return "\"" + assignment + "\" is not NAME=VALUE";
  std::string name = assignment.substr(0, eq), text = assignment.substr(eq + 1);
  uint32_t value = 0;
  if (_Map* map = FindMap(desc, name)) {
    if (!ParseMapValue(map, text, &value)) return "\"" + text + "\" is no value of " + name;
    QV_SetMap(handle, map, value);
    return "";
  }
  if (const _Reg* reg = FindReg(desc, name)) {
    if (!ParseNumber(text, &value) || value > 0xFF) return "register " + name + " takes 0 to 255";
    QV_SetReg(handle, reg->num, static_cast<uint8_t>(value));
    return "";
  }
  return "no map or register named " + name;
}

}  // namespace

std::string ApplySettings(QV_Handle handle, const std::string& settings) {
  _RegDesc* desc = QV_GetRegDesc(handle);
  std::istringstream words(settings);
  std::string assignment;
  while (words >> assignment) {
    std::string problem = ApplyOne(handle, desc, assignment);
    if (!problem.empty()) return problem;
  }
  return "";
}

}  // namespace orvexgst
