// The median slopes of an image over a baseline, in both directions, without
// storing or sorting the slopes.
#pragma once

#include <cstddef>

namespace k7hlp {

struct SlopeMedians {
  float alongX, alongY;  // medians of pixel minus the pixel `baseline` to the right / below
};

constexpr size_t kSlopeSample = 512;

// The same values as Median() over all slopes. A sample of `sampleSize`
// slopes brackets each median, one pass counts around the brackets and keeps
// the slopes inside, which are selected the same way (with samples of at
// most `sampleSize`). When a bracket misses (an unlucky sample), the slopes
// are stored and selected in full. Needs width and height above `baseline`.
SlopeMedians MedianSlopes(const float* image, size_t width, size_t height, size_t baseline, bool avx2,
                          size_t sampleSize = kSlopeSample);

}  // namespace k7hlp
