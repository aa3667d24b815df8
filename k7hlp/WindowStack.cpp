#include "WindowStack.h"

#include <algorithm>
#include <cmath>

#include "Record.h"
#include "Status.h"

namespace k7hlp {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr float kTwoPiF = 6.2831855f;
constexpr float kPiF = 3.1415927f;

// A reflection into [-pi, pi], not a wrap: that is what the phase slope needs.
float Fold(float v) {
  if (static_cast<double>(v) > kPi) v = kTwoPiF - v;
  if (static_cast<double>(v) < -kPi) v = -kTwoPiF - v;
  return v;
}

}  // namespace

WindowStack::WindowStack(uint32_t width, uint32_t height, uint32_t frames)
    : width_(width),
      height_(height),
      frames_(frames),
      middle_((frames - 1) / 2),
      pixels_(size_t{width} * height),
      // Not cleared: every value is written before it is read (stacks by the
      // fills, images by the step that computes them).
      storage_(new float[pixels_ * (size_t{frames} + 7)]),
      amplitude_(storage_.get()),
      surface_(amplitude_ + pixels_ * frames),
      phase_(surface_ + pixels_),
      position_(phase_ + pixels_ * 3),
      phaseTerm_(position_ + pixels_),
      correction_(phaseTerm_ + pixels_) {}

int WindowStack::Fill(const K7Hlp_Data& raw, uint32_t component, float scale, uint32_t first, uint32_t count,
                      float* images) {
  if (raw.dataType != K7Hlp_dataRaw16 || !raw.data) return -1;
  if (raw.dim[0] != width_ || raw.dim[1] != height_ || raw.dim[2] != frames_ || component >= raw.dim[3]) return -1;
  if (uint64_t{first} + count > frames_) return -1;
  uint64_t total = 0;
  if (!CheckedProduct({raw.dim[0], raw.dim[1], raw.dim[2], raw.dim[3]}, raw.dataSize / 2, &total)) return -1;
  const uint16_t* words = RawSamples(raw) + pixels_ * (size_t{frames_} * component + first);
  // Dividing by a power of two and multiplying by its inverse give the same float.
  for (size_t i = 0; i < pixels_ * count; ++i) images[i] = static_cast<float>(words[i]) * scale;
  return 0;
}

// The loops run frame by frame over whole images so that the stacks are read
// in memory order; per pixel the frames are still taken in ascending order, so
// sums come out exactly as a pixel-by-pixel loop would give them.

int WindowStack::ThresholdPositions(float t) {
  // Highest frame above the threshold per pixel, -1 for none (kept in phaseTerm_ until PhaseTerms).
  float* highest = phaseTerm_;
  std::fill(highest, highest + pixels_, -1.0f);
  for (uint32_t f = 0; f < frames_; ++f) {
    const float* a = Frame(amplitude_, f);
    for (size_t i = 0; i < pixels_; ++i)
      if (a[i] > t) highest[i] = static_cast<float>(f);
  }
  const int last = static_cast<int>(frames_) - 1;
  for (size_t i = 0; i < pixels_; ++i) {
    const int c = static_cast<int>(highest[i]);
    float pos = 0.0f;
    if (c == last) {
      pos = static_cast<float>(last);
    } else if (c >= 0) {
      const float ac = amplitude_[pixels_ * c + i];
      const float an = amplitude_[pixels_ * (c + 1) + i];
      pos = static_cast<float>(c - static_cast<int>(middle_)) + (t - ac) / (an - ac);
    }
    position_[i] = pos;
  }
  return 0;
}

int WindowStack::CentroidPositions() {
  // Weighted sums in position_, energies in phaseTerm_ (both filled later anyway).
  float* weighted = position_;
  float* energy = phaseTerm_;
  std::fill(weighted, weighted + pixels_, 0.0f);
  std::fill(energy, energy + pixels_, 0.0f);
  for (uint32_t k = 0; k < frames_; ++k) {
    const float* a = Frame(amplitude_, k);
    const float offset = static_cast<float>(static_cast<int>(k) - static_cast<int>(middle_));
    for (size_t i = 0; i < pixels_; ++i) {
      const float a2 = a[i] * a[i];
      weighted[i] += offset * a2;
      energy[i] += a2;
    }
  }
  for (size_t i = 0; i < pixels_; ++i) {
    if (energy[i] == 0.0f) return kZeroEnergy;
    weighted[i] = weighted[i] / energy[i];
  }
  return 0;
}

void WindowStack::PhaseTerms() {
  const float* before = Frame(phase_, 0);
  const float* mid = Frame(phase_, 1);
  const float* after = Frame(phase_, 2);
  for (size_t i = 0; i < pixels_; ++i) {
    float slope = position_[i] > 0.0f ? after[i] - mid[i] : mid[i] - before[i];
    slope = Fold(slope);
    phaseTerm_[i] = Fold(mid[i] - kPiF + slope * position_[i]);
  }
}

void WindowStack::PhaseCorrections(int64_t divisor) {
  const double v = static_cast<double>(divisor);
  for (size_t i = 0; i < pixels_; ++i) {
    const float w = std::fabs(phaseTerm_[i]);
    const double r = static_cast<double>(w) / kHalfPi;
    correction_[i] = static_cast<float>(static_cast<double>(w) < kHalfPi ? r * 0.25 / v : (2.0 - r) * 0.25 / v);
  }
}

void WindowStack::Surface(bool withCorrection, float* out) const {
  const float* coarse = surface_;
  for (size_t i = 0; i < pixels_; ++i) {
    float value = coarse[i] + position_[i];
    if (withCorrection) value = value + correction_[i];
    out[i] = value;
  }
}

void WindowStack::MiddleAmplitude(float* out) const {
  const float* a = Frame(amplitude_, middle_);
  for (size_t i = 0; i < pixels_; ++i) out[i] = a[i];
}

void WindowStack::MiddlePhase(float* out) const {
  const float* p = Frame(phase_, 1);
  for (size_t i = 0; i < pixels_; ++i) out[i] = p[i];
}

}  // namespace k7hlp
