#include "platform/DataFolder.h"

#include <cstdlib>

#ifndef ORVEX_INSTALL_DATADIR
#define ORVEX_INSTALL_DATADIR "/usr/local/share"
#endif

namespace orvex {
namespace {

std::string CommonAppDataFolder() {
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  if (dirs && *dirs) {
    std::string all(dirs);
    std::string first = all.substr(0, all.find(':'));
    if (!first.empty()) return first;
  }
  return ORVEX_INSTALL_DATADIR;
}

std::string Cut(std::string text, size_t maxChars) {
  if (text.size() > maxChars) text.resize(maxChars);
  return text;
}

}  // namespace

std::string DataFolder() { return Cut(CommonAppDataFolder() + "/Tavrin", kMaxPathChars); }

std::string DevDescPath(const std::string& name) { return Cut(DataFolder() + "/devDesc/" + name, 255); }

}  // namespace orvex
