#include "desc/MapAccess.h"

#include "core/PelCam.h"
#include "desc/NameLookup.h"

namespace orvex {

int32_t SetMapValue(CPelCam& camera, const _Map* map, uint32_t value) {
  if (!map) return 0;
  for (const regEntry* entry = map->regEntries; entry; entry = entry->next) {
    // An entry without a register (a dangling link) is skipped, never followed.
    if (!entry->reg) continue;
    uint8_t address = entry->reg->num;
    int shift = entry->shift;
    uint32_t field = shift < 0 ? value >> ((-shift) & 31) : (value & 0xFFu) << (shift & 31);
    uint8_t current = camera.GetRegImage(address);
    uint8_t next = static_cast<uint8_t>((current & ~entry->mask) | (field & entry->mask));
    camera.SetReg(address, next);
  }
  return 0;
}

uint32_t GetMapValue(CPelCam& camera, const _Map* map) {
  if (!map) return 0;
  uint32_t value = 0;
  for (const regEntry* entry = map->regEntries; entry; entry = entry->next) {
    if (!entry->reg) continue;
    uint32_t bits = camera.GetReg(entry->reg->num) & entry->mask;
    int shift = entry->shift;
    unsigned k = static_cast<unsigned>(shift < 0 ? -shift : shift) % 32;
    value |= shift < 0 ? bits << k : bits >> k;
  }
  return value;
}

uint32_t GetMapValueByName(CPelCam& camera, const char* name, uint32_t fallback, bool* found) {
  const _Map* map = FindMap(camera.regDesc.get(), name);
  if (found) *found = map != nullptr;
  return map ? GetMapValue(camera, map) : fallback;
}

}  // namespace orvex
