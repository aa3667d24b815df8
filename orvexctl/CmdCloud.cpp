// cloud: one acquisition as 3-D points in physical units, written as PLY.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Cli.h"
#include "PlyWriter.h"

#ifdef ORVEXCTL_WITH_K7HLP
#include "HelperRecord.h"

namespace orvexctl {
namespace {

struct CloudArgs {
  std::string out;
  bool binary = true;
  _K7Hlp_extractMode method = K7Hlp_extractCentroid;
  float threshold = 1.5f;
  std::string ztag;            // scale z through this zTag table
  uint32_t countScale = 1000;  // else through the position counter, counts per unit x 1000
  bool frames = false;         // or leave z in frames
};

const char kCloudUsage[] =
    "cloud: -o FILE.ply [--ascii] [-m threshold|centroid|phase] [-t THRESHOLD]\n"
    "       [--ztag FILE | --count-scale N | --frames]\n";

bool ParseCloudArgs(const std::vector<std::string>& args, CloudArgs* out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if ((a == "-o" || a == "--out") && hasValue) {
      out->out = args[++i];
    } else if (a == "--ascii") {
      out->binary = false;
    } else if ((a == "-m" || a == "--method") && hasValue) {
      const std::string& m = args[++i];
      if (m == "threshold") out->method = K7Hlp_extractThreshold;
      else if (m == "centroid") out->method = K7Hlp_extractCentroid;
      else if (m == "phase") out->method = K7Hlp_extractCentroidPhase;
      else return false;
    } else if ((a == "-t" || a == "--threshold") && hasValue) {
      out->threshold = std::strtof(args[++i].c_str(), nullptr);
    } else if (a == "--ztag" && hasValue) {
      out->ztag = args[++i];
    } else if (a == "--count-scale" && hasValue) {
      out->countScale = static_cast<uint32_t>(std::strtoul(args[++i].c_str(), nullptr, 0));
      if (out->countScale < 1000) return false;
    } else if (a == "--frames") {
      out->frames = true;
    } else {
      return false;
    }
  }
  return !out->out.empty();
}

// Surface (frames) and amplitude of one acquisition.
bool AcquireSurface(QV_Handle handle, const CloudArgs& args, HelperRecord* surface, HelperRecord* amplitude,
                    HelperRecord* rawData) {
  int32_t bytes = QV_Acquire(handle);
  _CamData* raw = bytes > 0 ? QV_GetCamData(handle, 0, 0, nullptr) : nullptr;
  if (!raw) {
    std::fprintf(stderr, "acquisition failed: %d %s\n", bytes, LastLibraryError().c_str());
    return false;
  }
  if (raw->mode != 5 && raw->mode != 6) {
    std::fprintf(stderr, "cloud needs CamMode A16Z16 (4 or 7) or Window (5); try --set CamMode=A16Z16\n");
    return false;
  }
  _CamDataMeta meta{};
  _CamData* processed = nullptr;
  if (QV_AllocCamData(handle, 1, raw->mode, 0, nullptr, 0) && QV_ProcessCamData(handle, 1, 0, nullptr))
    processed = QV_GetCamData(handle, 1, 0, &meta);
  if (!processed) {
    std::fprintf(stderr, "processing failed: %s\n", LastLibraryError().c_str());
    return false;
  }
  float threshold = args.threshold;
  int status = K7Hlp_assignRawData(handle, raw->data, &meta, processed, rawData->get());
  if (status == 0)
    status = K7Hlp_extractSurface(rawData->get(), args.method, &threshold, surface->get(), amplitude->get());
  if (status != 0 || !surface->IsImage() || !amplitude->IsImage()) {
    std::fprintf(stderr, "surface extraction failed (%d): %s\n", status, K7Hlp_getLastError());
    return false;
  }
  return true;
}

// Pixels with a value: a finite surface and an amplitude above 0. The
// others are set to frame 0, so that they cannot make the scaling fail; they
// are left out of the cloud.
std::vector<bool> TakeValidPixels(HelperRecord* surface, const HelperRecord& amplitude) {
  K7Hlp_Data* s = surface->get();
  float* values = static_cast<float*>(s->data);
  std::vector<bool> valid(size_t{s->dim[0]} * s->dim[1]);
  for (unsigned y = 0; y < s->dim[1]; ++y)
    for (unsigned x = 0; x < s->dim[0]; ++x) {
      size_t i = size_t{y} * s->dim[0] + x;
      valid[i] = std::isfinite(values[i]) && amplitude.At(x, y) > 0;
      if (!valid[i]) values[i] = 0;
    }
  return valid;
}

// z through the zTag table or the position counter, or in frames; the
// comment says which ("" when the zTag table fails).
std::string ScaleDepth(const CloudArgs& args, HelperRecord* surface, HelperRecord* scaled) {
  if (args.frames) return "z: frames (surface position, not scaled)";
  if (!args.ztag.empty()) {
    std::string path = args.ztag;
    int status = K7Hlp_scaleSurface(surface->get(), scaled->get(), K7Hlp_scaleZTagFile, &path[0]);
    if (status == 0) return "z: units of the zTag table " + args.ztag;
    std::fprintf(stderr, "zTag table scaling failed (%d): %s\n", status, K7Hlp_getLastError());
    return "";
  }
  uint32_t countScale = args.countScale;
  int status = K7Hlp_scaleSurface(surface->get(), scaled->get(), K7Hlp_scaleCounter, &countScale);
  if (status == 0)
    return "z: position counter counts / " + std::to_string(countScale / 1000) + " (count scale " +
           std::to_string(countScale) + ")";
  std::fprintf(stderr, "note: no usable position counter (%d), z stays in frames\n", status);
  return "z: frames (surface position; the acquisition has no usable position counter)";
}

PointCloud BuildCloud(const HelperRecord& depth, const std::vector<bool>& valid, const HelperRecord& amplitude,
                      const float pitch[2]) {
  PointCloud cloud;
  const K7Hlp_Data* d = depth.get();
  for (unsigned y = 0; y < d->dim[1]; ++y)
    for (unsigned x = 0; x < d->dim[0]; ++x) {
      if (!valid[size_t{y} * d->dim[0] + x] || !std::isfinite(depth.At(x, y))) continue;
      cloud.points.push_back({x * pitch[0], y * pitch[1], depth.At(x, y), amplitude.At(x, y)});
    }
  return cloud;
}

// x and y from the sensor's pixel pitch; the comment says the unit.
std::string PixelPitch(QV_Handle handle, float pitch[2]) {
  const _SysDesc* desc = QV_GetSysDesc(handle);
  const _SensorDesc* sensor = desc ? desc->sensor : nullptr;
  if (!sensor || !(sensor->pixPitch[0] > 0) || !(sensor->pixPitch[1] > 0)) {
    pitch[0] = pitch[1] = 1;
    return "x, y: pixels (the system description gives no pixel pitch)";
  }
  pitch[0] = sensor->pixPitch[0];
  pitch[1] = sensor->pixPitch[1];
  char text[160];
  std::snprintf(text, sizeof text, "x, y: micrometres (column and row times the pixel pitch %g x %g of sensor %s)",
                pitch[0], pitch[1], sensor->id ? sensor->id : "?");
  return text;
}

}  // namespace

int CmdCloud(const Options& options) {
  CloudArgs args;
  if (!ParseCloudArgs(options.args, &args)) {
    std::fprintf(stderr, "%s", kCloudUsage);
    return kUsage;
  }
  System system(options);
  if (int status = system.status()) return status;
  QV_Handle handle = system.handle();
  HelperRecord rawData, surface, amplitude, scaled;
  if (!AcquireSurface(handle, args, &surface, &amplitude, &rawData)) return kFailed;
  float pitch[2];
  std::string xyUnit = PixelPitch(handle, pitch);
  std::vector<bool> valid = TakeValidPixels(&surface, amplitude);
  std::string zUnit = ScaleDepth(args, &surface, &scaled);
  if (zUnit.empty()) return kFailed;
  const HelperRecord& depth = scaled.IsImage() ? scaled : surface;
  PointCloud cloud = BuildCloud(depth, valid, amplitude, pitch);
  cloud.comments = {"Orvex point cloud of \"" + options.openString + "\"", xyUnit, zUnit,
                    "amplitude: lock-in amplitude of the pixel"};
  std::string error;
  if (!WritePly(args.out, cloud, args.binary, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kFailed;
  }
  size_t pixels = size_t{depth.get()->dim[0]} * depth.get()->dim[1];
  std::printf("%zu points (%zu pixels without a value left out) -> %s\n  %s\n  %s\n", cloud.points.size(),
              pixels - cloud.points.size(), args.out.c_str(), xyUnit.c_str(), zUnit.c_str());
  return kOk;
}

}  // namespace orvexctl

#else

namespace orvexctl {

int CmdCloud(const Options&) {
  std::fprintf(stderr, "cloud: this build has no libK7Hlp\n");
  return kFailed;
}

}  // namespace orvexctl

#endif
