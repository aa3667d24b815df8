#include "desc/NameLookup.h"

#include <cstring>

namespace orvex {

_Map* FindMap(const _RegDesc* desc, const char* name) {
  if (!desc || !name) return nullptr;
  for (uint16_t i = 0; i < desc->mapCount; ++i)
    if (desc->maps[i].id && std::strcmp(desc->maps[i].id, name) == 0) return &desc->maps[i];
  return nullptr;
}

_Reg* FindReg(const _RegDesc* desc, const char* name) {
  if (!desc || !name) return nullptr;
  for (uint16_t i = 0; i < desc->regCount; ++i)
    if (desc->regs[i].id && std::strcmp(desc->regs[i].id, name) == 0) return &desc->regs[i];
  return nullptr;
}

}  // namespace orvex
