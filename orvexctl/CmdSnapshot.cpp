// snapshot: acquire, process, extract a surface and write it out as images.
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "Cli.h"
#include "PngImage.h"

#ifdef ORVEXCTL_WITH_K7HLP
#include "HelperRecord.h"
#include "K7Hlp.h"

namespace orvexctl {
namespace {

struct SnapshotArgs {
  std::string dir = ".";
  _K7Hlp_extractMode method = K7Hlp_extractCentroid;
  float threshold = 1.5f;
  std::string stream;  // a recording to take the first acquisition from
};

bool ParseSnapshotArgs(const std::vector<std::string>& args, SnapshotArgs* out) {
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "-o" || args[i] == "--out") && i + 1 < args.size()) {
      out->dir = args[++i];
    } else if ((args[i] == "-m" || args[i] == "--method") && i + 1 < args.size()) {
      const std::string& m = args[++i];
      if (m == "threshold") out->method = K7Hlp_extractThreshold;
      else if (m == "centroid") out->method = K7Hlp_extractCentroid;
      else if (m == "phase") out->method = K7Hlp_extractCentroidPhase;
      else return false;
    } else if ((args[i] == "-t" || args[i] == "--threshold") && i + 1 < args.size()) {
      char* end = nullptr;
      const std::string& text = args[++i];
      out->threshold = std::strtof(text.c_str(), &end);
      if (text.empty() || *end || !std::isfinite(out->threshold)) return false;
    } else if ((args[i] == "-i" || args[i] == "--input") && i + 1 < args.size()) {
      out->stream = args[++i];
    } else {
      return false;
    }
  }
  return true;
}

FloatImage ImageOf(const HelperRecord& record) {
  FloatImage image;
  const K7Hlp_Data& data = *record.get();
  if (data.dataType != K7Hlp_dataFloat || !data.data) return image;
  image.width = data.dim[0];
  image.height = data.dim[1];
  const float* values = static_cast<const float*>(data.data);
  image.values.assign(values, values + size_t{image.width} * image.height);
  return image;
}

bool WriteImage(const std::string& dir, const char* name, const FloatImage& image) {
  float low = 0, high = 1;
  DisplayRange(image, &low, &high);
  std::string png = dir + "/" + name + ".png", csv = dir + "/" + name + ".csv";
  if (!WriteFalseColourPng(png, image, low, high) || !WriteCsv(csv, image)) {
    std::fprintf(stderr, "cannot write %s or %s\n", png.c_str(), csv.c_str());
    return false;
  }
  std::fprintf(stderr, "%s: %ux%u, colour scale %g (blue) to %g (red) -> %s, %s\n", name, image.width, image.height, low,
              high, png.c_str(), csv.c_str());
  return true;
}

// Processes slot 0 into slot 1 in the same data mode, without header.
_CamData* ProcessIntoSlot1(QV_Handle handle, uint32_t mode, _CamDataMeta* meta) {
  if (!QV_AllocCamData(handle, 1, mode, 0, nullptr, 0)) return nullptr;
  if (!QV_ProcessCamData(handle, 1, 0, nullptr)) return nullptr;
  return QV_GetCamData(handle, 1, 0, meta);
}

}  // namespace

int CmdSnapshot(const Options& options) {
  SnapshotArgs args;
  if (!ParseSnapshotArgs(options.args, &args)) {
    std::fprintf(stderr, "snapshot: [-o DIR] [-m threshold|centroid|phase] [-t THRESHOLD] [-i STREAMFILE]\n");
    return kUsage;
  }
  Options source = options;
  if (!args.stream.empty()) {
    source.mode = QV_OPEN_STREAM;
    source.openString = args.stream;
  }
  System system(source);
  if (int status = system.status()) return status;
  QV_Handle handle = system.handle();
  int32_t bytes = QV_Acquire(handle);
  _CamData* raw = bytes > 0 ? QV_GetCamData(handle, 0, 0, nullptr) : nullptr;
  if (!raw) {
    std::fprintf(stderr, "acquisition failed: %d %s\n", bytes, LastLibraryError().c_str());
    return kFailed;
  }
  if (raw->mode != 5 && raw->mode != 6) {
    std::fprintf(stderr, "snapshot needs CamMode A16Z16 (4 or 7) or Window (5); try --set CamMode=A16Z16\n");
    return kUsage;
  }
  _CamDataMeta meta{};
  _CamData* processed = ProcessIntoSlot1(handle, raw->mode, &meta);
  if (!processed) {
    std::fprintf(stderr, "processing failed: %s\n", LastLibraryError().c_str());
    return kFailed;
  }
  HelperRecord rawData, surface, amplitude;
  int status = K7Hlp_assignRawData(handle, raw->data, &meta, processed, rawData.get());
  if (status == 0)
    status = K7Hlp_extractSurface(rawData.get(), args.method, &args.threshold, surface.get(), amplitude.get());
  if (status != 0) {
    std::fprintf(stderr, "surface extraction failed (%d): %s\n", status, K7Hlp_getLastError());
    return kFailed;
  }
  bool ok = WriteImage(args.dir, "surface", ImageOf(surface)) && WriteImage(args.dir, "amplitude", ImageOf(amplitude));
  return ok ? kOk : kFailed;
}

}  // namespace orvexctl

#else

namespace orvexctl {

int CmdSnapshot(const Options&) {
  std::fprintf(stderr, "snapshot: this build has no libK7Hlp\n");
  return kFailed;
}

}  // namespace orvexctl

#endif
