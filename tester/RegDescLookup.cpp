#include "RegDescLookup.h"

#include <cstring>

namespace {

bool SameName(const char* id, const char* name) { return id && name && std::strcmp(id, name) == 0; }

}  // namespace

_Map* FindMapByName(const _RegDesc* desc, const char* name) {
  if (!desc || !desc->maps) return nullptr;
  for (uint16_t i = 0; i < desc->mapCount; ++i) {
    if (SameName(desc->maps[i].id, name)) return &desc->maps[i];
  }
  return nullptr;
}

_Reg* FindRegByName(const _RegDesc* desc, const char* name) {
  if (!desc || !desc->regs) return nullptr;
  for (uint16_t i = 0; i < desc->regCount; ++i) {
    if (SameName(desc->regs[i].id, name)) return &desc->regs[i];
  }
  return nullptr;
}

const char* TextOrEmpty(const char* text) { return text ? text : ""; }
