#include <iomanip>
#include <string>

#include "desc/RegDescParser.h"

namespace orvex {

const char* MapKind(const _Map& map) {
  if (!map.regEntries) return "??? ";
  if (map.enumEntries) return "ENUM";
  if (map.regEntries->next) return "MULT";
  if (map.regEntries->mask < 0xFF) return "MASK";
  return "SMPL";
}

namespace {

const char* OrNull(const char* text) { return text ? text : "(NULL)"; }

// Two hexadecimal digits, zero-filled.
struct Hex2 {
  unsigned value;
};
std::ostream& operator<<(std::ostream& out, Hex2 hex) {
  char fill = out.fill('0');
  out << std::hex << std::setw(2) << hex.value;
  out.fill(fill);
  return out;
}

// The map line without its kind: id, mode, cammode, group, level, bounds, comment.
void MapLineBody(std::ostream& out, const _Map& map) {
  out << std::hex << std::left << std::setw(20) << OrNull(map.id) << std::right << ' ' << unsigned{map.mode} << ' '
      << unsigned{map.cammode} << "  " << OrNull(map.group) << "  " << unsigned{map.level} << ' ' << map.min << ':'
      << map.max << ' ' << OrNull(map.cmt);
}

void MapLine(std::ostream& out, const _Map& map) {
  out << MapKind(map) << ' ';
  MapLineBody(out, map);
}

size_t EntryCount(const _Map& map) {
  size_t count = 0;
  for (const regEntry* entry = map.regEntries; entry; entry = entry->next) ++count;
  return count;
}

void MapTree(std::ostream& out, const _Map& map) {
  if (!map.regEntries) {
    out << "This map has no RegEntry: ";
    MapLine(out, map);
    out << '\n';
    return;
  }
  const regEntry* first = map.regEntries;
  if (EntryCount(map) == 1 && first->mask == 0xFF && first->reg) {
    out << "P-0x" << Hex2{first->reg->num} << ' ';
    MapLineBody(out, map);
    out << '\n';
  } else {
    out << "P-";
    MapLine(out, map);
    out << '\n';
    for (const regEntry* entry = first; entry; entry = entry->next) {
      if (!entry->reg) continue;
      out << "  R-0x" << Hex2{entry->reg->num} << ':' << std::dec << int{entry->shift} << ":0x" << Hex2{entry->mask}
          << ' ' << OrNull(entry->reg->id) << '\n';
    }
  }
  for (const enumEntry* value = map.enumEntries; value; value = value->next)
    out << "    E-0x" << Hex2{static_cast<unsigned>(value->value)} << ' ' << OrNull(value->name) << '\n';
}

void Heading(std::ostream& out, const char* title, unsigned count) {
  const std::string dashes(20, '-');
  out << '\n' << dashes << title << std::dec << count << ' ' << dashes << '\n';
}

}  // namespace

void DumpRegDesc(uint32_t /*sections*/, std::ostream& out, const _RegDesc* desc) {
  if (!desc) return;
  StreamFormatGuard guard(out);
  Heading(out, " Registers:", desc->regCount);
  for (uint16_t i = 0; i < desc->regCount; ++i) {
    const _Reg& reg = desc->regs[i];
    if (!reg.id) continue;
    out << "0x" << Hex2{reg.num} << ' ' << std::left << std::setw(20) << reg.id << std::right << OrNull(reg.cmt)
        << '\n';
  }
  Heading(out, " Mappings:", desc->mapCount);
  for (uint16_t i = 0; i < desc->mapCount; ++i) {
    MapLine(out, desc->maps[i]);
    out << '\n';
  }
  Heading(out, " Mapping-tree:", desc->mapCount);
  for (uint16_t i = 0; i < desc->mapCount; ++i) MapTree(out, desc->maps[i]);
}

}  // namespace orvex
