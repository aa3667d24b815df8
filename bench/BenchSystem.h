// A system built in memory for the benchmarks: no description files, no
// device; the emulator is connected by the benchmark where it needs one.
#pragma once

#include <cstdlib>
#include <memory>

#include "Orvex.h"
#include "api/PelSys.h"
#include "api/SystemList.h"

namespace bench {

// The maps acquisition, processing and libK7Hlp read: CamMode and Comp11to8 on
// register 3, SensNFrames on 0x10, and the register ExSimpMaxHwin 0x1D. One
// block, as the parser hands descriptions over.
inline _RegDesc* BenchRegDesc() {
  struct Block {
    _RegDesc desc;
    _Reg regs[3];
    _Map maps[3];
    regEntry entries[3];
  };
  auto* b = static_cast<Block*>(std::calloc(1, sizeof(Block)));
  b->regs[0] = {3, "CamModeCtrl", ""};
  b->regs[1] = {0x10, "SensNFramesLo", ""};
  b->regs[2] = {0x1D, "ExSimpMaxHwin", ""};
  const char* names[] = {"CamMode", "Comp11to8", "SensNFrames"};
  const uint8_t regOf[] = {0, 0, 1};
  const uint8_t masks[] = {0x07, 0x08, 0xFF};
  const int8_t shifts[] = {0, 3, 0};
  for (int i = 0; i < 3; ++i) {
    b->entries[i] = {shifts[i], masks[i], &b->regs[regOf[i]], nullptr};
    b->maps[i].id = names[i];
    b->maps[i].regEntries = &b->entries[i];
  }
  b->desc = {3, b->regs, 3, b->maps};
  return &b->desc;
}

inline CPelSys* BuildBenchSystem(const char* openString) {
  auto system = std::make_unique<CPelSys>();
  system->name = openString;
  system->camera = std::make_unique<CPelCam>(system.get());
  system->camera->regDesc.reset(BenchRegDesc());
  system->camera->SizeRegisterImage(256);
  return orvex::AppendSystem(std::move(system));
}

}  // namespace bench
