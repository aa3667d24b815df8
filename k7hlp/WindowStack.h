// CamMode 5 working storage: the window samples of one acquisition as float
// images, and the per-pixel results computed from them. Only the frames a
// result reads are converted: every amplitude frame, the middle surface frame
// and the phase frames around the middle (frames >= 3).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "K7Hlp.h"

namespace k7hlp {

class WindowStack {
 public:
  // Sizes every stack and image for the record's W x H x F, all zero.
  WindowStack(uint32_t width, uint32_t height, uint32_t frames);

  // Component 0 / 1 / 2 of the record into S / A / P; below 0 when the record
  // is not raw, its layout does not cover the component, or its shape differs.
  int FillSurface(const K7Hlp_Data& raw) { return Fill(raw, 0, 1.0f / 32, middle_, 1, surface_); }
  int FillAmplitude(const K7Hlp_Data& raw) { return Fill(raw, 1, 1.0f / 16, 0, frames_, amplitude_); }
  int FillPhase(const K7Hlp_Data& raw) { return Fill(raw, 2, 1.0f / 8192, middle_ - 1, 3, phase_); }

  // Sub-frame position relative to the middle frame; below 0 on failure.
  int ThresholdPositions(float threshold);
  int CentroidPositions();
  void PhaseTerms();
  // Correction of the centroid-with-phase method for divisor v (> 0).
  void PhaseCorrections(int64_t divisor);

  // Result images, W x H each, into the given float buffers.
  void Surface(bool withCorrection, float* out) const;
  void MiddleAmplitude(float* out) const;
  void MiddlePhase(float* out) const;

  size_t Pixels() const { return pixels_; }
  uint32_t Middle() const { return middle_; }

 private:
  // Frames first .. first + count - 1 of the component into `images`.
  int Fill(const K7Hlp_Data& raw, uint32_t component, float scale, uint32_t first, uint32_t count, float* images);
  const float* Frame(const float* stack, uint32_t f) const { return stack + pixels_ * f; }

  uint32_t width_, height_, frames_, middle_;
  size_t pixels_;
  // One block for everything: a single allocation per call is served again
  // from the heap on the next frame instead of being mapped and faulted in anew.
  std::unique_ptr<float[]> storage_;
  float* amplitude_;  // [frame][row][column]
  float* surface_;    // the middle frame
  float* phase_;      // the frames middle - 1, middle, middle + 1
  float *position_, *phaseTerm_, *correction_;    // [row][column]
};

}  // namespace k7hlp
