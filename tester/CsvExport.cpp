#include "CsvExport.h"

#include <cinttypes>

namespace {

void WriteComponentRow(const ProcessedData& data, uint32_t c, uint32_t j, std::FILE* out) {
  uint64_t d0 = data.dims[0];
  uint64_t d1 = data.dims[1];
  for (uint32_t k = 0; k < data.dims[2]; ++k) {
    uint16_t value = data.values[c + d0 * j + d0 * d1 * k];
    std::fprintf(out, k == 0 ? "%d" : ",%d", value);
  }
  std::fputc('\n', out);
}

}  // namespace

bool WriteComponentCsv(const ProcessedData& data, std::FILE* amplitude, std::FILE* surface) {
  if (data.SpannedElements(3) == 0) return false;
  for (uint32_t c = 0; c < data.dims[0]; ++c) {
    std::FILE* out = c == 0 ? amplitude : surface;
    if (!out) continue;
    for (uint32_t j = 0; j < data.dims[1]; ++j) WriteComponentRow(data, c, j, out);
  }
  return true;
}

void WriteImageCsv(const std::vector<int64_t>& image, int side, std::FILE* out) {
  for (int m = 0; m < side; ++m) {
    for (int h = 0; h < side; ++h) {
      std::fprintf(out, h == 0 ? "%" PRId64 : "\t%" PRId64, image[static_cast<size_t>(h) * side + m]);
    }
    std::fputc('\n', out);
  }
}
