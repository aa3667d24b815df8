// The checks every float-image operation runs first, with its own texts.
#pragma once

#include <cstddef>

#include "K7Hlp.h"

namespace k7hlp {

struct ImageCheckTexts {
  const char* missingRecord;    // -2
  const char* wrongType;        // -4
  const char* wrongDimension;   // -4
  const char* missingSamples;   // -2
};

// Both records present and distinct, input a float W x H image whose samples
// cover W * H values. 0 or the failure code (text stored).
int CheckFloatImage(const K7Hlp_Data* in, const K7Hlp_Data* out, const ImageCheckTexts& texts);

// Resets `out`, copies the meta of `in` and gives `out` a float array of the
// input's shape and size for a caller that writes every pixel: the image part
// is not cleared, samples beyond it are zero, and the float block `out`
// already holds is kept when it has that size.
float* PrepareLikeInput(const K7Hlp_Data& in, K7Hlp_Data& out);

inline size_t PixelCount(const K7Hlp_Data& image) { return size_t{image.dim[0]} * image.dim[1]; }

}  // namespace k7hlp
