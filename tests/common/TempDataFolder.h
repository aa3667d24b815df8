// A data folder of the test's own: a temporary directory with Tavrin/devDesc
// (fpga/, i2c/), pointed at by XDG_DATA_DIRS while the object lives.
#pragma once

#include <string>

namespace orvex_test {

class TempDataFolder {
 public:
  TempDataFolder();
  ~TempDataFolder();
  TempDataFolder(const TempDataFolder&) = delete;
  TempDataFolder& operator=(const TempDataFolder&) = delete;

  const std::string& root() const { return root_; }           // the XDG data dir
  std::string tavrin() const { return root_ + "/Tavrin"; }     // the data folder
  std::string devDesc() const { return tavrin() + "/devDesc"; }

  // Copies the shipped data/Tavrin tree of the source folder into this one.
  void CopyShippedData() const;
  // Writes a file below the data folder (path relative to Tavrin/).
  std::string WriteFile(const std::string& relativePath, const std::string& content) const;
  // A scratch path below the temporary directory (not inside Tavrin/).
  std::string ScratchPath(const std::string& name) const { return root_ + "/" + name; }

 private:
  std::string root_;
  std::string previousXdg_;
  bool hadXdg_;
};

}  // namespace orvex_test
