#include "TiltRemoval.h"

#include <vector>

namespace k7hlp {
namespace {

void AddTerms(const float* from, float* to, const float* columnTerms, size_t w, float rowTerm) {
  for (size_t x = 0; x < w; ++x) to[x] = from[x] + columnTerms[x] + rowTerm;
}

}  // namespace

void RemoveTilt(const float* from, float* to, size_t w, size_t h, float mx, float my, bool avx2) {
  // The column terms are the same for every row.
  std::vector<float> columnTerms(w);
  for (size_t x = 0; x < w; ++x) columnTerms[x] = mx * static_cast<float>(x);
  for (size_t y = 0; y < h; ++y) {
    const float rowTerm = my * static_cast<float>(y);
    if (avx2)
      AddTermsAvx2(from + w * y, to + w * y, columnTerms.data(), w, rowTerm);
    else
      AddTerms(from + w * y, to + w * y, columnTerms.data(), w, rowTerm);
  }
}

}  // namespace k7hlp
