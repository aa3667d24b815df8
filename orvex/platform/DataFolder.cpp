#include "platform/DataFolder.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#ifndef ORVEX_DATADIR_FROM_LIBDIR
#define ORVEX_DATADIR_FROM_LIBDIR "../share"
#endif

namespace orvex {
namespace {

const char kKitFolder[] = "/Tavrin";

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> SplitSearchList(const char* list) {
  std::vector<std::string> entries;
  std::string all = list ? list : "";
  for (size_t begin = 0; begin <= all.size();) {
    size_t end = all.find(':', begin);
    if (end == std::string::npos) end = all.size();
    if (end > begin) entries.push_back(all.substr(begin, end - begin));
    begin = end + 1;
  }
  return entries;
}

// The data directory beside the installed library, wherever the installed
// tree was put: an installation then works without any environment.
std::string DataDirBesideLibrary() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&DataDirBesideLibrary), &info) == 0 || !info.dli_fname) return {};
  std::string library = info.dli_fname;
  size_t slash = library.rfind('/');
  if (slash == std::string::npos) return {};
  return library.substr(0, slash + 1) + ORVEX_DATADIR_FROM_LIBDIR;
}

std::vector<std::string> Candidates() {
  std::vector<std::string> dirs = SplitSearchList(std::getenv("XDG_DATA_DIRS"));
  std::string beside = DataDirBesideLibrary();
  if (!beside.empty()) dirs.push_back(beside);
  dirs.push_back("/usr/local/share");
  dirs.push_back("/usr/share");
  return dirs;
}

// The first candidate that holds the kit's folder; when none does, the
// first candidate, so that messages name the place that was looked at.
std::string CommonAppDataFolder() {
  std::vector<std::string> dirs = Candidates();
  for (const std::string& dir : dirs)
    if (IsDirectory(dir + kKitFolder)) return dir;
  return dirs.front();
}

std::string Cut(std::string text, size_t maxChars) {
  if (text.size() > maxChars) text.resize(maxChars);
  return text;
}

}  // namespace

std::string DataFolder() { return Cut(CommonAppDataFolder() + kKitFolder, kMaxPathChars); }

std::string DevDescPath(const std::string& name) { return Cut(DataFolder() + "/devDesc/" + name, 255); }

}  // namespace orvex
