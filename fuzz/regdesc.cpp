// Register descriptions from arbitrary bytes: both passes with every trace on,
// then the listing and a walk over every entry the record hands out.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "desc/RegDescParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orvex::CRegDescParser parser;
  std::ostringstream out;
  if (orvex::LoadDescriptionBuffer(parser, data, size, "fuzz", out) != 0) return 0;
  orvex::BlockPtr<_RegDesc> desc = orvex::BuildRegDesc(parser, 0xFF, out);
  orvex::DumpRegDesc(0xFFFFFFFF, out, desc.get());
  unsigned sum = 0;
  for (uint16_t i = 0; i < desc->mapCount; ++i) {
    for (const regEntry* entry = desc->maps[i].regEntries; entry; entry = entry->next) sum += entry->reg->num;
    for (const enumEntry* value = desc->maps[i].enumEntries; value; value = value->next) sum += value->name[0];
  }
  return sum == 0xFFFFFFFF;  // keeps the walk from being optimised away
}
