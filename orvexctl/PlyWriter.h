// Point clouds as PLY files (binary little-endian or ASCII) with x, y, z and
// the amplitude as a scalar property, the form point-cloud viewers open.
#pragma once

#include <string>
#include <vector>

namespace orvexctl {

struct CloudPoint {
  float x, y, z, amplitude;
};

struct PointCloud {
  std::vector<CloudPoint> points;
  std::vector<std::string> comments;  // one header comment each (units, source)
};

// False with the reason in *error when the file cannot be written.
bool WritePly(const std::string& path, const PointCloud& cloud, bool binary, std::string* error);

}  // namespace orvexctl
