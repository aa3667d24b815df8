#include "MapValue.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "Cli.h"

namespace orvexctl {
namespace {

bool HasRange(const _Map* map) { return map->max > map->min; }

std::string ValidRange(const _Map* map) {
  uint32_t low = 0, high = 0;
  MapRange(map, &low, &high);
  std::string text = "valid: " + std::to_string(low) + ".." + std::to_string(high);
  std::string names = EnumNames(map);
  return names.empty() ? text : text + " or one of " + names;
}

const enumEntry* FindEnum(const _Map* map, const std::string& text) {
  for (const enumEntry* e = map->enumEntries; e; e = e->next)
    if (e->name && text == e->name) return e;
  return nullptr;
}

}  // namespace

uint32_t MapValueBits(const _Map* map) {
  uint32_t bits = 0;
  for (const regEntry* entry = map ? map->regEntries : nullptr; entry; entry = entry->next) {
    unsigned k = static_cast<unsigned>(entry->shift < 0 ? -entry->shift : entry->shift) % 32;
    bits |= entry->shift < 0 ? uint32_t{entry->mask} << k : uint32_t{entry->mask} >> k;
  }
  return bits;
}

void MapRange(const _Map* map, uint32_t* low, uint32_t* high) {
  uint32_t bits = MapValueBits(map);
  *low = HasRange(map) ? map->min : 0;
  *high = HasRange(map) ? map->max : bits ? bits : 0xFFFFFFFFu;
}

bool ParseWholeNumber(const std::string& text, uint32_t limit, uint32_t* value) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long number = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || errno == ERANGE || number > limit) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

std::string ParseMapValue(const _Map* map, const std::string& text, uint32_t* value) {
  if (const enumEntry* e = FindEnum(map, text)) {
    *value = static_cast<uint32_t>(e->value);
    return {};
  }
  uint32_t number = 0;
  if (!text.empty() && text[0] == '-') return "negative numbers are refused: \"" + text + "\" (" + ValidRange(map) + ")";
  if (!ParseWholeNumber(text, 0xFFFFFFFFu, &number))
    return "not a whole number" + std::string(map->enumEntries ? " or a name" : "") + ": \"" + text + "\" (" +
           ValidRange(map) + ")";
  uint32_t bits = MapValueBits(map);  // 0: no register field to limit it
  bool outside = (bits && (number & ~bits) != 0) || (HasRange(map) && (number < map->min || number > map->max));
  if (outside) return std::to_string(number) + " is out of range (" + ValidRange(map) + ")";
  *value = number;
  return {};
}

}  // namespace orvexctl
