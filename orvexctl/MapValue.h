// Reading a map value from the command line: numbers and enumeration names,
// refused (never masked) when the map cannot hold them.
#pragma once

#include <cstdint>
#include <string>

#include "Orvex.h"

namespace orvexctl {

// The value bits the map's register fields can hold.
uint32_t MapValueBits(const _Map* map);

// The lowest and highest value the map accepts: its min..max when it has
// one, else what its bits can hold.
void MapRange(const _Map* map, uint32_t* low, uint32_t* high);

// Parses a whole non-negative number ("123", "0x1F") or an enumeration name
// of the map and checks it against the map's range and bits. Empty on
// success, else the reason with the valid range or names.
std::string ParseMapValue(const _Map* map, const std::string& text, uint32_t* value);

// A whole number 0..limit ("12", "0x0C"); false for anything else.
bool ParseWholeNumber(const std::string& text, uint32_t limit, uint32_t* value);

}  // namespace orvexctl
