// A system built in memory for the benchmarks: no description files, no
// device; the emulator is connected by the benchmark where it needs one.
#pragma once

#include <cstdlib>
#include <memory>

#include "Orvex.h"
#include "common/MemorySystem.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

namespace bench {

// Silences the library during measurements.
inline int32_t Quiet(QV_Handle, uint32_t, uint32_t, const char*) { return 0; }

// The maps acquisition, processing and libK7Hlp read: CamMode and Comp11to8 on
// register 3, SensNFrames on 0x10, SensNDarkFrames 0x12, SensExpRatio 0x13, and the
// register ExSimpMaxHwin 0x1D. One block, as the parser hands descriptions over.
inline _RegDesc* BenchRegDesc() {
  struct Block {
    _RegDesc desc;
    _Reg regs[5];
    _Map maps[5];
    regEntry entries[5];
  };
  auto* b = static_cast<Block*>(std::calloc(1, sizeof(Block)));
  b->regs[0] = {3, "CamModeCtrl", ""};
  b->regs[1] = {0x10, "SensNFramesLo", ""};
  b->regs[2] = {0x12, "SensNDarkFrames", ""};
  b->regs[3] = {0x13, "SensExpRatio", ""};
  b->regs[4] = {0x1D, "ExSimpMaxHwin", ""};
  const char* names[] = {"CamMode", "Comp11to8", "SensNFrames", "SensNDarkFrames", "SensExpRatio"};
  const uint8_t regOf[] = {0, 0, 1, 2, 3};
  const uint8_t masks[] = {0x07, 0x08, 0xFF, 0xFF, 0xFF};
  const int8_t shifts[] = {0, 3, 0, 0, 0};
  for (int i = 0; i < 5; ++i) {
    b->entries[i] = {shifts[i], masks[i], &b->regs[regOf[i]], nullptr};
    b->maps[i].id = names[i];
    b->maps[i].regEntries = &b->entries[i];
  }
  b->desc = {5, b->regs, 5, b->maps};
  return &b->desc;
}

inline CPelSys* BuildBenchSystem(const char* openString) {
  return orvex_test::OpenMemorySystem(openString, 256, orvex::BlockPtr<_RegDesc>(BenchRegDesc()));
}

}  // namespace bench
