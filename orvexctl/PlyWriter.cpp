#include "PlyWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace orvexctl {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

void WriteHeader(FILE* out, const PointCloud& cloud, bool binary) {
  std::fprintf(out, "ply\nformat %s 1.0\n", binary ? "binary_little_endian" : "ascii");
  // A line break inside a comment would end the header early.
  for (std::string comment : cloud.comments) {
    for (char& c : comment)
      if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(out, "comment %s\n", comment.c_str());
  }
  std::fprintf(out,
               "element vertex %zu\nproperty float x\nproperty float y\nproperty float z\n"
               "property float amplitude\nend_header\n",
               cloud.points.size());
}

}  // namespace

bool WritePly(const std::string& path, const PointCloud& cloud, bool binary, std::string* error) {
  std::unique_ptr<FILE, FileCloser> out(std::fopen(path.c_str(), binary ? "wb" : "w"));
  if (!out) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  WriteHeader(out.get(), cloud, binary);
  static_assert(sizeof(CloudPoint) == 16 && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
                "points are written as they lie in memory");
  if (binary) {
    std::fwrite(cloud.points.data(), sizeof(CloudPoint), cloud.points.size(), out.get());
  } else {
    for (const CloudPoint& p : cloud.points)
      std::fprintf(out.get(), "%.9g %.9g %.9g %.9g\n", p.x, p.y, p.z, p.amplitude);
  }
  bool ok = std::fflush(out.get()) == 0 && !std::ferror(out.get());
  if (std::fclose(out.release()) != 0) ok = false;
  if (!ok) *error = path + ": write failed";
  return ok;
}

}  // namespace orvexctl
