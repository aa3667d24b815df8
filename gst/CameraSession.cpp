#include "CameraSession.h"

#include <cmath>
#include <cstring>

#include "LibraryMessages.h"
#include "Settings.h"

namespace orvexgst {
namespace {

constexpr uint32_t kHeaderBytes = sizeof(CamDataHdr);
// Data modes of the acquisition (_CamData::mode).
constexpr uint32_t kModeIQ = 1, kModeA16Z16 = 5, kModeWindow = 6, kModeIntensity = 7;

std::string WithLibraryText(std::string what) {
  std::string text = TakeLastLibraryText();
  return text.empty() ? what : what + ": " + text;
}

std::string AcquisitionFailure(int32_t status) {
  std::string text = "acquisition failed (" + std::to_string(status) + ")";
  if (status == -19) text += ": the camera is gone (unplugged)";
  if (status == -110) text += ": time-out, the camera sent nothing";
  return text;
}

// Which dimension of the processed shape runs along a sensor row; the
// dimensions inside it are the components of one pixel.
int RowDimension(uint32_t dataMode) {
  switch (dataMode) {
    case kModeIQ:
    case kModeA16Z16:
      return 1;
    case kModeWindow:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

bool CameraSession::Open(const SessionConfig& config, std::string* error) {
  Close();
  config_ = config;
  InstallLibraryMessageRouter();
  TakeLastLibraryText();
  // The serial becomes one token of the open string; it must not add others.
  if (config.serial.find_first_of(" \t\n=") != std::string::npos) {
    *error = "\"" + config.serial + "\" is not a serial number";
    return false;
  }
  uint32_t mode = config.replay.empty() ? QV_OPEN_USB : QV_OPEN_STREAM;
  std::string target = config.replay.empty() ? config.openString : config.replay;
  if (config.replay.empty() && !config.serial.empty()) target += " serial=" + config.serial;
  if (QV_Open(&handle_, mode, target.c_str()) != 1 || !handle_) {
    handle_ = nullptr;
    *error = WithLibraryText("cannot open \"" + target + "\"");
    return false;
  }
  if (config.replay.empty()) QV_SetTimeout(handle_, config.timeoutMs);
  return ApplySettings(config.settings, error);
}

void CameraSession::Close() {
  if (handle_) QV_Close(handle_);
  handle_ = nullptr;
}

bool CameraSession::ApplySettings(const std::string& settings, std::string* error) {
  std::string problem = orvexgst::ApplySettings(handle_, settings);
  if (problem.empty()) return true;
  *error = "settings: " + problem;
  return false;
}

uint32_t CameraSession::MapValue(const char* name) const {
  _RegDesc* desc = QV_GetRegDesc(handle_);
  for (uint16_t i = 0; desc && i < desc->mapCount; ++i)
    if (desc->maps[i].id && std::strcmp(desc->maps[i].id, name) == 0) return QV_GetMap(handle_, &desc->maps[i]);
  return 0;
}

double CameraSession::AcquisitionRate() const {
  QV_AcquTiming timing{};
  if (!handle_ || QV_UpdateAcquTiming(handle_, &timing, 2) != 0 || timing.framePeriod == 0) return 0;
  uint32_t frames = MapValue("SensNFrames");
  return 1e9 / (double(timing.framePeriod) * (frames ? frames : 1));
}

ReadResult CameraSession::Read(Image* image, std::string* error) {
  TakeLastLibraryText();
  int32_t bytes = QV_Acquire(handle_);
  if (bytes == -2 && !config_.replay.empty()) return ReadResult::kEndOfStream;
  _CamData* raw = bytes > 0 ? QV_GetCamData(handle_, 0, 0, nullptr) : nullptr;
  if (!raw || !raw->data || raw->size < kHeaderBytes || !(raw->flags & QV_CD_HEADER)) {
    *error = WithLibraryText(AcquisitionFailure(bytes));
    return ReadResult::kFailed;
  }
  CamDataHdr header;
  std::memcpy(&header, raw->data, sizeof header);
  image->counter = header.nVolume;

  bool intensity = config_.output == Output::Intensity;
  uint32_t target = raw->mode == kModeIntensity && !intensity ? kModeIQ : raw->mode;
  _CamDataMeta meta{};
  _CamData* processed = nullptr;
  if (QV_AllocCamData(handle_, 1, target, 0, nullptr, 0) && QV_ProcessCamData(handle_, 1, 0, nullptr))
    processed = QV_GetCamData(handle_, 1, 0, &meta);
  if (!processed || !processed->data) {
    *error = WithLibraryText("processing failed");
    return ReadResult::kFailed;
  }
  switch (config_.output) {
    case Output::Surface:
    case Output::Amplitude:
      return ReadSurface(raw, meta, processed, image, error);
    case Output::Intensity:
      return ReadIntensity(meta, processed, image, error);
    default:
      return ReadRaw(meta, processed, image, error);
  }
}

ReadResult CameraSession::ReadSurface(const _CamData* raw, const _CamDataMeta& meta, _CamData* processed,
                                      Image* image, std::string* error) {
  if (raw->mode != kModeA16Z16 && raw->mode != kModeWindow) {
    *error = "surface and amplitude need CamMode A16Z16 (4 or 7) or Window (5)";
    return ReadResult::kWrongMode;
  }
  HelperRecord rawData, surface, amplitude;
  _CamDataMeta shape = meta;
  int status = K7Hlp_assignRawData(handle_, raw->data, &shape, processed, rawData.get());
  if (status == 0)
    status = K7Hlp_extractSurface(rawData.get(), config_.method, &config_.threshold, surface.get(), amplitude.get());
  K7Hlp_Data* result = config_.output == Output::Surface ? surface.get() : amplitude.get();
  if (status != 0 || result->dataType != K7Hlp_dataFloat || !result->data) {
    *error = "surface extraction failed (" + std::to_string(status) + "): " + K7Hlp_getLastError();
    return ReadResult::kFailed;
  }
  image->width = result->dim[0];
  image->height = result->dim[1];
  const float* values = static_cast<const float*>(result->data);
  image->values.assign(values, values + size_t{image->width} * image->height);
  image->words.clear();
  return ReadResult::kImage;
}

ReadResult CameraSession::ReadIntensity(const _CamDataMeta& meta, const _CamData* processed, Image* image,
                                        std::string* error) {
  if (processed->mode != kModeIntensity || meta.numDim < 3) {
    *error = "intensity needs CamMode Intensity (3)";
    return ReadResult::kWrongMode;
  }
  // The first high-dynamic-range plane when the stack has one, else the
  // dark-corrected reference frame.
  uint32_t width = meta.dimSz[0], height = meta.dimSz[1], planes = meta.dimSz[2];
  size_t plane = planes > 2 ? 2 : 0, pixels = size_t{width} * height;
  if (processed->size / sizeof(float) < (plane + 1) * pixels) {
    *error = "intensity planes smaller than their shape";
    return ReadResult::kFailed;
  }
  const float* values = static_cast<const float*>(processed->data) + plane * pixels;
  image->width = width;
  image->height = height;
  image->values.assign(values, values + pixels);
  image->words.clear();
  return ReadResult::kImage;
}

ReadResult CameraSession::ReadRaw(const _CamDataMeta& meta, const _CamData* processed, Image* image,
                                  std::string* error) {
  int rowDim = RowDimension(processed->mode);
  if (meta.numDim <= rowDim + 1) {
    *error = "the processed record has no image shape";
    return ReadResult::kFailed;
  }
  uint64_t rows = 1;
  for (int i = rowDim + 1; i < meta.numDim && i < 5; ++i) rows *= meta.dimSz[i] ? meta.dimSz[i] : 1;
  uint64_t words = processed->size / 2;
  if (rows == 0 || words < rows || words / rows > 0xFFFFu || rows > 0xFFFFu) {
    *error = "the processed record does not fit an image";
    return ReadResult::kFailed;
  }
  image->width = static_cast<uint32_t>(words / rows);
  image->height = static_cast<uint32_t>(rows);
  image->words.resize(size_t{image->width} * image->height);
  std::memcpy(image->words.data(), processed->data, image->words.size() * 2);
  image->values.clear();
  return ReadResult::kImage;
}

}  // namespace orvexgst
