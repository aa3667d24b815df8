// zTag tables: (x, z) pairs read from a zTag file.
#pragma once

#include <cstdio>
#include <vector>

#include "K7Hlp.h"

namespace k7hlp {

struct zTagItem {
  float x;
  float z;
};

// The table behind a zTagHdl. Creating and destroying one leaves a trace line
// on the debug channel.
class zTagItems {
 public:
  zTagItems();
  ~zTagItems();
  zTagItems(const zTagItems&) = delete;
  zTagItems& operator=(const zTagItems&) = delete;

  // Appends one pair per line that starts with two numbers ("%f %f"), z negated.
  void ReadFrom(std::FILE* file);
  void ParseLine(const char* line);

  const std::vector<zTagItem>& Items() const { return items_; }

 private:
  std::vector<zTagItem> items_;
};

// Loads `fileName`; a file that cannot be opened gives an empty table.
zTagHdl* LoadZTagFile(const char* fileName);
void UnloadZTagFile(zTagHdl* handle);
const std::vector<zTagItem>& TableOf(const zTagHdl& handle);

}  // namespace k7hlp

struct zTagHdl {
  k7hlp::zTagItems table;
};
