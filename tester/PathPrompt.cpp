#include "PathPrompt.h"

#include <filesystem>
#include <system_error>

#include "KeyInput.h"

const FileFilter kI2cFileFilter = {"i2c Files (*.iic)", "iic"};

namespace {

namespace fs = std::filesystem;

bool ReadPath(CKeyInput& input, std::FILE* out, const char* title, const FileFilter& filter, std::string& path) {
  std::fprintf(out, "%s\n%s: ", title, filter.description);
  std::fflush(out);
  bool answered = input.ReadLine(path, kMaxPromptPathChars);
  // A terminal echoes the typed line; from a pipe the prompt line still needs its end.
  if (!input.IsTerminal()) std::fputc('\n', out);
  return answered && !path.empty();
}

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool FolderOfExists(const std::string& path) {
  fs::path parent = fs::path(path).parent_path();
  std::error_code error;
  return parent.empty() || fs::is_directory(parent, error);
}

// A dialog answers a full path; the library would look for a bare name in the
// data folder's i2c folder instead of the working directory.
void MakeAbsolute(std::string& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (!error) path = absolute.lexically_normal().string();
}

void AddDefaultExtension(std::string& path, const FileFilter& filter) {
  if (!fs::path(path).has_extension()) path += std::string(".") + filter.defaultExtension;
}

}  // namespace

bool PromptOpenFile(CKeyInput& input, std::FILE* out, const char* title, const FileFilter& filter,
                    std::string& path) {
  if (!ReadPath(input, out, title, filter, path)) return false;
  MakeAbsolute(path);
  if (IsRegularFile(path)) return true;
  std::fprintf(out, "%s: file not found\n", path.c_str());
  return false;
}

bool PromptSaveFile(CKeyInput& input, std::FILE* out, const char* title, const FileFilter& filter,
                    std::string& path) {
  if (!ReadPath(input, out, title, filter, path)) return false;
  AddDefaultExtension(path, filter);
  MakeAbsolute(path);
  if (FolderOfExists(path)) return true;
  std::fprintf(out, "%s: folder not found\n", path.c_str());
  return false;
}
