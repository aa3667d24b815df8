#include "IntensityImage.h"

#include <algorithm>

namespace {

int64_t SumPixel(const ProcessedData& data, uint64_t m, uint64_t h) {
  uint64_t d0 = data.dims[0];
  uint64_t plane = d0 * data.dims[1];
  uint64_t frame = plane * data.dims[2];
  int64_t sum = 0;
  for (uint64_t b = 0; b < data.dims[3]; ++b) {
    for (uint64_t a = 0; a < d0; ++a) sum += data.values[a + d0 * m + plane * h + frame * b];
  }
  return sum;
}

}  // namespace

IntensityImage BuildIntensityImage(const ProcessedData& data) {
  IntensityImage image;
  if (data.SpannedElements(4) == 0) return image;
  image.valid = true;
  uint32_t rows = std::min<uint32_t>(data.dims[1], kIntensitySide);
  uint32_t columns = std::min<uint32_t>(data.dims[2], kIntensitySide);
  image.clipped = rows < data.dims[1] || columns < data.dims[2];
  for (uint32_t h = 0; h < columns; ++h) {
    for (uint32_t m = 0; m < rows; ++m) image.values[h * kIntensitySide + m] = SumPixel(data, m, h);
  }
  return image;
}

void SubtractOffset(IntensityImage& image, const IntensityImage& offset) {
  for (size_t i = 0; i < image.values.size(); ++i) image.values[i] -= offset.values[i];
}
