#include "PathMapping.h"

#include <cctype>
#include <filesystem>
#include <system_error>

const char* const kTesterOutputFolder = "tester-out";

namespace {

bool IsDriveQualified(const std::string& path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

}  // namespace

std::string MapWindowsPath(const std::string& windowsPath) {
  std::string rest = IsDriveQualified(windowsPath) ? windowsPath.substr(2) : windowsPath;
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  size_t first = rest.find_first_not_of('/');
  rest = first == std::string::npos ? std::string() : rest.substr(first);
  return std::string(kTesterOutputFolder) + "/" + rest;
}

bool CreateParentFolders(const std::string& path) {
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (parent.empty()) return true;
  std::error_code error;
  std::filesystem::create_directories(parent, error);
  return !error;
}

std::FILE* OpenMappedOutput(const std::string& windowsPath) {
  std::string path = MapWindowsPath(windowsPath);
  if (!CreateParentFolders(path)) return nullptr;
  return std::fopen(path.c_str(), "w");
}
