#include "acq/StreamOpen.h"

#include <string>

#include "acq/StreamReplay.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

namespace orvex {

CPelSys* OpenSystemOnStream(const char* path, BuildSystemFn build) {
  std::string openString;
  std::unique_ptr<CQVFileIO> stream = OpenReplayStream(path, openString);
  if (!stream || !build) return nullptr;
  CPelSys* system = build(openString.c_str());
  if (!system) return nullptr;
  if (!system->camera || ConnectStream(*system->camera, std::move(stream)) < 0) {
    CloseSystem(system);
    return nullptr;
  }
  return system;
}

}  // namespace orvex
