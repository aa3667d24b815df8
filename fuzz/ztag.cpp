// zTag files are outside input: any bytes must load into a table, and a table
// of any content must scale a surface without reading outside it.
#include <cstdint>
#include <cstdio>

#include "DebugChannel.h"
#include "K7Hlp.h"
#include "Record.h"
#include "ZTagTable.h"

namespace {

// A 4 x 1 surface whose values span and overshoot a small table's range.
void MakeSurface(K7Hlp_Data& surface) {
  K7Hlp_alloc(&surface);
  float* values = k7hlp::GiveFloatSamples(surface, 4, 1, 0, 0, 4);
  values[0] = -3.0f;
  values[1] = 0.5f;
  values[2] = 7.25f;
  values[3] = 1e30f;
  uint8_t* header = k7hlp::GiveHeader(surface, K7Hlp_headerCamera, 2048);
  const uint32_t frmDur = 70000;
  __builtin_memcpy(header + 2020, &frmDur, 4);
  surface.unit = K7Hlp_unitFrames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    k7hlp::ReplaceDebugSink([](const char*) {});
    return std::freopen("/dev/null", "w", stdout) != nullptr;
  }();
  (void)quiet;
  // The file is read through the same stream code, from memory instead of disk.
  std::FILE* file = size ? fmemopen(const_cast<uint8_t*>(data), size, "r") : nullptr;
  zTagHdl table;
  if (file) {
    table.table.ReadFrom(file);
    std::fclose(file);
  }
  K7Hlp_Data surface{}, scaled{};
  MakeSurface(surface);
  K7Hlp_alloc(&scaled);
  K7Hlp_scaleSurface(&surface, &scaled, K7Hlp_scaleZTagHandle, &table);
  K7Hlp_free(&scaled);
  K7Hlp_free(&surface);
  return 0;
}
