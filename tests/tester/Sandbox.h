// A scratch folder for one end-to-end test: a copy of the shipped data folder
// (XDG_DATA_DIRS points at it) and a working directory for the tester's files.
#pragma once

#include <string>

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& root() const { return root_; }
  std::string dataDir() const { return root_ + "/data"; }
  std::string workDir() const { return root_ + "/work"; }
  std::string InWork(const std::string& relative) const { return workDir() + "/" + relative; }
  // Writes an emulator configuration file and returns its path.
  std::string WriteEmulatorConfig(const std::string& text) const;

 private:
  std::string root_;
};

std::string ReadFile(const std::string& path);
int CountOccurrences(const std::string& text, const std::string& what);
