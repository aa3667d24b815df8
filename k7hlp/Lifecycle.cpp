// Version, last error and the record life cycle.
#include <cstdio>

#include "Boundary.h"
#include "K7Hlp.h"
#include "Record.h"

namespace {

// Also the file version of the library (see the note section below).
constexpr char kVersionText[] = "0,0,5,37 git: efcb702";

struct VersionNote {
  uint32_t nameSize, descSize, type;
  char owner[8];
  char text[sizeof(kVersionText) + 2];  // padded to 4 bytes
};

__attribute__((used, section(".note.k7hlp.version"), aligned(4)))
const VersionNote kVersionNote = {sizeof("K7Hlp"), sizeof(kVersionText), 1, "K7Hlp", "0,0,5,37 git: efcb702"};

}  // namespace

int K7Hlp_getVersion(unsigned short* const version) {
  if (!version) return -1;
  unsigned short words[4] = {};
  std::sscanf(kVersionText, "%hu,%hu,%hu,%hu", &words[0], &words[1], &words[2], &words[3]);
  for (int i = 0; i < 4; ++i) version[i] = words[3 - i];
  return 0;
}

char* K7Hlp_getLastError() { return k7hlp::LastErrorText(); }

int K7Hlp_alloc(K7Hlp_Data* data) {
  return k7hlp::Exported("K7Hlp_alloc", [&] { return k7hlp::AllocRecord(data); });
}

int K7Hlp_free(K7Hlp_Data* data) {
  return k7hlp::Exported("K7Hlp_free", [&] { return k7hlp::FreeRecord(data); });
}
