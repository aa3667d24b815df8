#include "common/TempDataFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace orvex_test {

TempDataFolder::TempDataFolder() {
  std::string pattern = (fs::temp_directory_path() / "orvex-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  fs::create_directories(devDesc() + "/fpga");
  fs::create_directories(devDesc() + "/i2c");
  const char* previous = std::getenv("XDG_DATA_DIRS");
  hadXdg_ = previous != nullptr;
  if (previous) previousXdg_ = previous;
  setenv("XDG_DATA_DIRS", root_.c_str(), 1);
}

TempDataFolder::~TempDataFolder() {
  if (hadXdg_)
    setenv("XDG_DATA_DIRS", previousXdg_.c_str(), 1);
  else
    unsetenv("XDG_DATA_DIRS");
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void TempDataFolder::CopyShippedData() const {
  fs::copy(fs::path(ORVEX_SOURCE_DIR) / "data" / "Tavrin", tavrin(),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::string TempDataFolder::WriteFile(const std::string& relativePath, const std::string& content) const {
  fs::path path = fs::path(tavrin()) / relativePath;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
  return path.string();
}

}  // namespace orvex_test
