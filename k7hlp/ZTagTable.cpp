#include "ZTagTable.h"

#include <memory>
#include <string>

#include "Boundary.h"
#include "DebugChannel.h"

namespace k7hlp {
namespace {

// Lines longer than this are cut: two numbers never need more, and a file
// without line feeds must not grow one line without bound.
constexpr size_t kMaxLineLength = 4096;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads up to the next line feed; false at the end of the file.
bool ReadLine(std::FILE* file, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (line.size() < kMaxLineLength) line.push_back(static_cast<char>(c));
  }
  return any;
}

}  // namespace

zTagItems::zTagItems() { WriteDebugLine("zTagItems constructore called...\n"); }

zTagItems::~zTagItems() { WriteDebugLine("zTagItems destructore called...\n"); }

void zTagItems::ParseLine(const char* line) {
  float x = 0.0f, z = 0.0f;
  if (std::sscanf(line, "%f %f", &x, &z) == 2) items_.push_back({x, -z});
}

void zTagItems::ReadFrom(std::FILE* file) {
  std::string line;
  line.reserve(kMaxLineLength);
  while (ReadLine(file, line)) ParseLine(line.c_str());
}

zTagHdl* LoadZTagFile(const char* fileName) {
  auto handle = std::make_unique<zTagHdl>();
  std::unique_ptr<std::FILE, FileCloser> file(fileName ? std::fopen(fileName, "r") : nullptr);
  if (file) handle->table.ReadFrom(file.get());
  return handle.release();
}

void UnloadZTagFile(zTagHdl* handle) { delete handle; }

const std::vector<zTagItem>& TableOf(const zTagHdl& handle) { return handle.table.Items(); }

}  // namespace k7hlp

int K7Hlp_zTagFileLoad(zTagHdl** handle, char* fileName) {
  return k7hlp::Exported("K7Hlp_zTagFileLoad", [&] {
    if (!handle) return k7hlp::Fail(k7hlp::kMissing, "K7Hlp_zTagFileLoad:: handle not found");
    *handle = k7hlp::LoadZTagFile(fileName);
    return k7hlp::kOk;
  });
}

void K7Hlp_zTagFileUnload(zTagHdl* handle) {
  k7hlp::Exported("K7Hlp_zTagFileUnload", [&] {
    k7hlp::UnloadZTagFile(handle);
    return k7hlp::kOk;
  });
}
