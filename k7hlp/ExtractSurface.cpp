// Surface, amplitude and phase images from a raw record.
#include <cstdint>
#include <memory>
#include <utility>

#include "Boundary.h"
#include "CpuFeatures.h"
#include "K7Hlp.h"
#include "Record.h"
#include "WindowStack.h"

namespace k7hlp {
namespace {

constexpr char kInputUnsupported[] = "K7Hlp_extractSurface:: dataIn unsupported";
constexpr float kSurfaceScale = 0.03125f;
constexpr float kAmplitudeScale = 0.0625f;
constexpr float kPhaseScale = 1.0f / 8192;
constexpr uint32_t kMinWindowFrames = 3;

int CheckInput(const K7Hlp_Data* in) {
  if (!in) return Fail(kMissing, kInputUnsupported);
  if (in->dataType != K7Hlp_dataRaw16) return Fail(kUnsupportedInput, kInputUnsupported);
  if (in->dataSize != 0 && !in->data) return Fail(kStepFailed, kInputUnsupported);
  if (in->headerType != K7Hlp_headerCamera) return Fail(kUnsupportedInput, kInputUnsupported);
  if (in->headerSize != 0 && !in->header) return Fail(kStepFailed, kInputUnsupported);
  return kOk;
}

size_t Pixels(const K7Hlp_Data& in) { return size_t{in.dim[0]} * in.dim[1]; }

// Gives `out` the W x H float image `samples` (every value written by the
// caller), with header, registers and unit of `in`.
void AdoptImage(const K7Hlp_Data& in, K7Hlp_Data& out, int32_t unit, std::unique_ptr<float[]> samples) {
  ResetIfUsed(out);
  AdoptFloatSamples(out, in.dim[0], in.dim[1], 0, 0, std::move(samples), Pixels(in));
  CopyMeta(in, out);
  out.unit = unit;
}

// One plane of words, times `scale`, as the W x H image of `out`.
void AdoptScaledPlane(const K7Hlp_Data& in, const uint16_t* plane, float scale, K7Hlp_Data& out, int32_t unit) {
  std::unique_ptr<float[]> image(new float[Pixels(in)]);
  ScaleWords(plane, Pixels(in), scale, image.get());
  AdoptImage(in, out, unit, std::move(image));
}

// True when the record holds `planes` planes of W x H words.
bool HasPlanes(const K7Hlp_Data& in, uint32_t planes) {
  uint64_t count = 0;
  return in.data && in.dim[2] >= planes &&
         CheckedProduct({in.dim[0], in.dim[1], in.dim[2]}, in.dataSize / 2, &count);
}

// The camera computed surface and amplitude already; only their fixed point is undone.
int ExtractA16Z16(const K7Hlp_Data& in, K7Hlp_Data& surface, K7Hlp_Data* amplitude) {
  if (!HasPlanes(in, 1)) return Fail(kStepFailed, "K7Hlp_extractSurface:: surface extraction failed");
  if (amplitude && !HasPlanes(in, 2)) return Fail(kStepFailed, "K7Hlp_extractSurface:: amplitude extraction failed");
  AdoptScaledPlane(in, RawSamples(in), kSurfaceScale, surface, K7Hlp_unitFrames);
  if (amplitude) AdoptScaledPlane(in, RawSamples(in) + Pixels(in), kAmplitudeScale, *amplitude, K7Hlp_unitAmplitude);
  return kOk;
}

// The window record must hold the surface, amplitude and phase components, in that order of checking.
int CheckComponents(const K7Hlp_Data& in) {
  if (in.dim[3] < 1) return Fail(kStepFailed, "K7Hlp_extractSurface:: surface extraction failed");
  if (in.dim[3] < 2) return Fail(kStepFailed, "K7Hlp_extractSurface:: amplitude extraction failed");
  if (in.dim[3] < 3) return Fail(kStepFailed, "K7Hlp_extractSurface:: phase extraction failed");
  return kOk;
}

// Divisor of the phase correction: the demodulation cycles per frame, 2 (SensNavM2 + 1),
// plus one when background suppression is on. Reports nothing (see SubFrameSettingsFor).
int PhaseDivisor(const K7Hlp_Data& in, SubFrameSettings& settings) {
  const int32_t navM2 = ParamValue(in, "SensNavM2");
  const int32_t bsEnable = ParamValue(in, "BSEnable");
  if (navM2 < 0 || bsEnable < 0) return kStepFailed;
  const int64_t divisor = 2 * (int64_t{navM2} + 1) + bsEnable;
  if (divisor == 0) return kZeroDivisor;
  settings.phaseDivisor = static_cast<double>(divisor);
  return kOk;
}

// The method of `mode` with its parameters. A phase divisor that cannot be had
// comes back in `deferred`, not reported: a pixel without energy, which the
// centroids run for, is reported first.
int SubFrameSettingsFor(const K7Hlp_Data& in, _K7Hlp_extractMode mode, const void* threshold,
                        SubFrameSettings& settings, int& deferred) {
  settings = {SubFrameMethod::kCentroid, 0.0f, 1.0};
  deferred = kOk;
  if (mode == K7Hlp_extractCentroidPhase) {
    deferred = PhaseDivisor(in, settings);
    if (deferred == kOk) settings.method = SubFrameMethod::kCentroidPhase;
  }
  if (mode != K7Hlp_extractThreshold) return kOk;
  if (!threshold) return Fail(kMissing, "K7Hlp_extractSurface:: threshold not defined");
  settings.threshold = *static_cast<const float*>(threshold);
  if (!(settings.threshold > 0.0f)) return Fail(kStepFailed, "K7Hlp_extractSurface:: threshold value not supported");
  settings.method = SubFrameMethod::kThreshold;
  return kOk;
}

int ReportDeferred(int status) {
  if (status == kStepFailed) return Fail(kStepFailed, "K7Hlp_extractSurface:: SensNavM2 or BSEnable not found...");
  return status;  // kZeroDivisor goes without a message
}

int ExtractWindow(const K7Hlp_Data& in, _K7Hlp_extractMode mode, const void* threshold, K7Hlp_Data& surface,
                  K7Hlp_Data* amplitude, K7Hlp_Data* phase) {
  if (mode < K7Hlp_extractThreshold || mode > K7Hlp_extractCentroidPhase)
    return Fail(kUnsupportedKind, "K7Hlp_extractSurface:: selected mode not supported in CamMode 5");
  // The phase slope needs a frame on either side of the middle one.
  if (in.dim[2] < kMinWindowFrames)
    return Fail(kUnsupportedKind, "K7Hlp_extractSurface:: CamMode 5 needs at least 3 frames");
  uint64_t count = 0;
  if (!in.data || !CheckedProduct({in.dim[0], in.dim[1], in.dim[2], in.dim[3]}, in.dataSize / 2, &count))
    return Fail(kStepFailed, "K7Hlp_extractSurface:: surface extraction failed");
  if (int status = CheckComponents(in)) return status;
  SubFrameSettings settings;
  int deferred = kOk;
  if (int status = SubFrameSettingsFor(in, mode, threshold, settings, deferred)) return status;
  const WindowStack stack{RawSamples(in), Pixels(in), in.dim[2]};
  std::unique_ptr<float[]> image(new float[stack.pixels]);
  if (WindowSurface(stack, settings, HasAvx2(), image.get()) < 0)
    return Fail(kStepFailed, "K7Hlp_extractSurface:: sub-frame calculation failed");
  if (deferred != kOk) return ReportDeferred(deferred);
  AdoptImage(in, surface, K7Hlp_unitFrames, std::move(image));
  if (amplitude)
    AdoptScaledPlane(in, stack.Plane(1, stack.Middle()), kAmplitudeScale, *amplitude, K7Hlp_unitAmplitude);
  if (amplitude && phase) AdoptScaledPlane(in, stack.Plane(2, stack.Middle()), kPhaseScale, *phase, K7Hlp_unitPhase);
  return kOk;
}

int Extract(K7Hlp_Data* in, _K7Hlp_extractMode mode, void* threshold, K7Hlp_Data* surface, K7Hlp_Data* amplitude,
            K7Hlp_Data* phase) {
  if (int status = CheckInput(in)) return status;
  if (!surface) return Fail(kMissing, "K7Hlp_extractSurface:: extractedSurface not defined");
  // Resetting an output that is the input would free the samples about to be read.
  if (surface == in || amplitude == in || phase == in || (amplitude && amplitude == surface) ||
      (phase && (phase == surface || phase == amplitude)))
    return Fail(kMissing, "K7Hlp_extractSurface:: output records must differ from dataIn and each other");
  ResetIfUsed(*surface);
  const int32_t camMode = ParamValue(*in, "CamMode");
  if (camMode < 0) return Fail(kStepFailed, "K7Hlp_extractSurface:: CamMode not found in data structure");
  if (camMode == 4 || camMode == 7) return ExtractA16Z16(*in, *surface, amplitude);
  if (camMode == 5) return ExtractWindow(*in, mode, threshold, *surface, amplitude, phase);
  return Fail(kUnsupportedKind,
              "K7Hlp_extractSurface:: CamMode currently not supported by K7Hlp library. Only CamMode 4, 5 and 7 are "
              "supported");
}

}  // namespace
}  // namespace k7hlp

int K7Hlp_extractSurface(K7Hlp_Data* dataIn, _K7Hlp_extractMode mode, void* threshold, K7Hlp_Data* extractedSurface) {
  return K7Hlp_extractSurface(dataIn, mode, threshold, extractedSurface, nullptr, nullptr);
}

int K7Hlp_extractSurface(K7Hlp_Data* dataIn, _K7Hlp_extractMode mode, void* threshold, K7Hlp_Data* extractedSurface,
                         K7Hlp_Data* amplitude) {
  return K7Hlp_extractSurface(dataIn, mode, threshold, extractedSurface, amplitude, nullptr);
}

int K7Hlp_extractSurface(K7Hlp_Data* dataIn, _K7Hlp_extractMode mode, void* threshold, K7Hlp_Data* extractedSurface,
                         K7Hlp_Data* amplitude, K7Hlp_Data* phase) {
  return k7hlp::Exported("K7Hlp_extractSurface", [&] {
    return k7hlp::Extract(dataIn, mode, threshold, extractedSurface, amplitude, phase);
  });
}
