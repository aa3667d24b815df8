// One open system (camera or recording) seen as a sequence of images: the
// part of orvexsrc that knows libOrvex and libK7Hlp and nothing of GStreamer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "K7Hlp.h"
#include "Orvex.h"

namespace orvexgst {

enum class Output { Surface, Amplitude, Raw, Intensity };

struct SessionConfig {
  std::string openString = "sys=k7cam_tq20";
  std::string serial;    // appended to the open string as "serial="
  std::string settings;  // NAME=VALUE ... applied after the open
  std::string replay;    // a stream file to replay instead of a camera
  Output output = Output::Surface;
  _K7Hlp_extractMode method = K7Hlp_extractCentroid;
  float threshold = 1.5f;
  uint32_t timeoutMs = 2000;
};

// One image: float values (surface in frames, amplitude, intensity) or, for
// the raw output, the processed record's 16-bit words.
struct Image {
  uint32_t width = 0, height = 0;
  std::vector<float> values;
  std::vector<uint16_t> words;
  uint32_t counter = 0;  // the acquisition number of the frame header
  bool IsFloat() const { return words.empty(); }
};

enum class ReadResult {
  kImage,
  kEndOfStream,
  kFailed,    // the camera or the processing failed
  kWrongMode  // the camera mode does not give the configured output
};

// Owns a K7Hlp_Data record from alloc to free.
class HelperRecord {
 public:
  HelperRecord() { K7Hlp_alloc(&data_); }
  ~HelperRecord() { K7Hlp_free(&data_); }
  HelperRecord(const HelperRecord&) = delete;
  HelperRecord& operator=(const HelperRecord&) = delete;
  K7Hlp_Data* get() { return &data_; }

 private:
  K7Hlp_Data data_{};
};

class CameraSession {
 public:
  CameraSession() = default;
  ~CameraSession() { Close(); }
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;

  // Opens the camera (or the recording) and applies the settings; false
  // with the reason in *error.
  bool Open(const SessionConfig& config, std::string* error);
  void Close();
  bool ApplySettings(const std::string& settings, std::string* error);
  // Acquires and processes one acquisition into the configured output.
  ReadResult Read(Image* image, std::string* error);
  // Acquisitions per second from the acquisition timing, 0 when unknown.
  double AcquisitionRate() const;

 private:
  ReadResult ReadSurface(const _CamData* raw, const _CamDataMeta& meta, _CamData* processed, Image* image,
                         std::string* error);
  ReadResult ReadIntensity(const _CamDataMeta& meta, const _CamData* processed, Image* image, std::string* error);
  ReadResult ReadRaw(const _CamDataMeta& meta, const _CamData* processed, Image* image, std::string* error);
  uint32_t MapValue(const char* name) const;

  SessionConfig config_;
  QV_Handle handle_ = nullptr;
};

}  // namespace orvexgst
