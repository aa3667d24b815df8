// Surface, amplitude and phase images from a raw record.
#include <cstdint>

#include "Boundary.h"
#include "K7Hlp.h"
#include "Record.h"
#include "WindowStack.h"

namespace k7hlp {
namespace {

constexpr char kInputUnsupported[] = "K7Hlp_extractSurface:: dataIn unsupported";
constexpr float kSurfaceScale = 0.03125f;
constexpr float kAmplitudeScale = 0.0625f;
constexpr uint32_t kMinWindowFrames = 3;

int CheckInput(const K7Hlp_Data* in) {
  if (!in) return Fail(kMissing, kInputUnsupported);
  if (in->dataType != K7Hlp_dataRaw16) return Fail(kUnsupportedInput, kInputUnsupported);
  if (in->dataSize != 0 && !in->data) return Fail(kStepFailed, kInputUnsupported);
  if (in->headerType != K7Hlp_headerCamera) return Fail(kUnsupportedInput, kInputUnsupported);
  if (in->headerSize != 0 && !in->header) return Fail(kStepFailed, kInputUnsupported);
  return kOk;
}

// Gives `out` the W x H float image, with header, registers and unit of `in`.
float* PrepareImage(const K7Hlp_Data& in, K7Hlp_Data& out, int32_t unit) {
  ResetIfUsed(out);
  float* samples = GiveFloatSamples(out, in.dim[0], in.dim[1], 0, 0, size_t{in.dim[0]} * in.dim[1]);
  CopyMeta(in, out);
  out.unit = unit;
  return samples;
}

// True when the record holds `planes` planes of W x H words.
bool HasPlanes(const K7Hlp_Data& in, uint32_t planes) {
  uint64_t count = 0;
  return in.data && in.dim[2] >= planes &&
         CheckedProduct({in.dim[0], in.dim[1], in.dim[2]}, in.dataSize / 2, &count);
}

void ScalePlane(const K7Hlp_Data& in, uint32_t plane, float scale, float* out) {
  const size_t pixels = size_t{in.dim[0]} * in.dim[1];
  const uint16_t* words = RawSamples(in) + pixels * plane;
  for (size_t i = 0; i < pixels; ++i) out[i] = static_cast<float>(words[i]) * scale;
}

// The camera computed surface and amplitude already; only their fixed point is undone.
int ExtractA16Z16(const K7Hlp_Data& in, K7Hlp_Data& surface, K7Hlp_Data* amplitude) {
  if (!HasPlanes(in, 1)) return Fail(kStepFailed, "K7Hlp_extractSurface:: surface extraction failed");
  if (amplitude && !HasPlanes(in, 2)) return Fail(kStepFailed, "K7Hlp_extractSurface:: amplitude extraction failed");
  ScalePlane(in, 0, kSurfaceScale, PrepareImage(in, surface, K7Hlp_unitFrames));
  if (amplitude) ScalePlane(in, 1, kAmplitudeScale, PrepareImage(in, *amplitude, K7Hlp_unitAmplitude));
  return kOk;
}

int SubFramePositions(WindowStack& stack, _K7Hlp_extractMode mode, const void* threshold) {
  if (mode != K7Hlp_extractThreshold) {
    if (stack.CentroidPositions() < 0) return Fail(kStepFailed, "K7Hlp_extractSurface:: sub-frame calculation failed");
    return kOk;
  }
  if (!threshold) return Fail(kMissing, "K7Hlp_extractSurface:: threshold not defined");
  const float t = *static_cast<const float*>(threshold);
  if (!(t > 0.0f)) return Fail(kStepFailed, "K7Hlp_extractSurface:: threshold value not supported");
  if (stack.ThresholdPositions(t) < 0) return Fail(kStepFailed, "K7Hlp_extractSurface:: sub-frame calculation failed");
  return kOk;
}

// Divisor of the phase correction: the demodulation cycles per frame, 2 (SensNavM2 + 1),
// plus one when background suppression is on.
int PhaseCorrection(const K7Hlp_Data& in, WindowStack& stack) {
  const int32_t navM2 = ParamValue(in, "SensNavM2");
  const int32_t bsEnable = ParamValue(in, "BSEnable");
  if (navM2 < 0 || bsEnable < 0)
    return Fail(kStepFailed, "K7Hlp_extractSurface:: SensNavM2 or BSEnable not found...");
  const int64_t divisor = 2 * (int64_t{navM2} + 1) + bsEnable;
  if (divisor == 0) return kZeroDivisor;
  stack.PhaseCorrections(divisor);
  return kOk;
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
  WindowStack stack(in.dim[0], in.dim[1], in.dim[2]);
  if (stack.FillSurface(in) < 0) return Fail(kStepFailed, "K7Hlp_extractSurface:: surface extraction failed");
  if (stack.FillAmplitude(in) < 0) return Fail(kStepFailed, "K7Hlp_extractSurface:: amplitude extraction failed");
  if (stack.FillPhase(in) < 0) return Fail(kStepFailed, "K7Hlp_extractSurface:: phase extraction failed");
  if (int status = SubFramePositions(stack, mode, threshold)) return status;
  stack.PhaseTerms();
  const bool corrected = mode == K7Hlp_extractCentroidPhase;
  if (corrected) {
    if (int status = PhaseCorrection(in, stack)) return status;
  }
  stack.Surface(corrected, PrepareImage(in, surface, K7Hlp_unitFrames));
  if (amplitude) stack.MiddleAmplitude(PrepareImage(in, *amplitude, K7Hlp_unitAmplitude));
  if (amplitude && phase) stack.MiddlePhase(PrepareImage(in, *phase, K7Hlp_unitPhase));
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
