// Systems that live in memory only: no description file, no device. Tests,
// fuzz targets and benchmarks open them to reach the library's internals
// without the factory.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "Orvex.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

namespace orvex_test {

// Appends a system with a zeroed register image of registerCount bytes to the
// open-system list; close it with CloseSystem or CloseAllSystems. Some callers
// keep the image small on purpose, so that addresses beyond it stay out of
// reach. The descriptions are handed over and freed as one block each, as
// parsed descriptions are.
inline CPelSys* OpenMemorySystem(const std::string& name, size_t registerCount,
                                 orvex::BlockPtr<_RegDesc> regDesc = nullptr,
                                 orvex::BlockPtr<_SysDesc> sysDesc = nullptr) {
  auto system = std::make_unique<CPelSys>();
  system->name = name;
  system->sysDesc = std::move(sysDesc);
  system->camera = std::make_unique<CPelCam>(system.get());
  system->camera->regDesc = std::move(regDesc);
  system->camera->SizeRegisterImage(registerCount);
  return orvex::AppendSystem(std::move(system));
}

}  // namespace orvex_test
