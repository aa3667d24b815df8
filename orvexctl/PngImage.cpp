#include "PngImage.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace orvexctl {
namespace {

constexpr unsigned kBarHeight = 12;
constexpr unsigned kGap = 2;

struct Rgb {
  uint8_t r, g, b;
};

// A perceptually ordered blue-cyan-yellow-red ramp.
Rgb Ramp(float t) {
  static const Rgb stops[] = {{48, 18, 59}, {40, 120, 240}, {30, 210, 180}, {160, 250, 60}, {250, 185, 40}, {200, 40, 10}};
  constexpr int last = 5;
  t = std::clamp(t, 0.0f, 1.0f) * last;
  int i = std::min(static_cast<int>(t), last - 1);
  float f = t - i;
  auto mix = [f](uint8_t a, uint8_t b) { return static_cast<uint8_t>(a + (b - a) * f + 0.5f); };
  return {mix(stops[i].r, stops[i + 1].r), mix(stops[i].g, stops[i + 1].g), mix(stops[i].b, stops[i + 1].b)};
}

Rgb Colour(float value, float low, float high) {
  if (!std::isfinite(value)) return {0, 0, 0};
  float span = high > low ? high - low : 1.0f;
  return Ramp((value - low) / span);
}

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

}  // namespace

void DisplayRange(const FloatImage& image, float* low, float* high) {
  std::vector<float> finite;
  finite.reserve(image.values.size());
  for (float v : image.values)
    if (std::isfinite(v)) finite.push_back(v);
  if (finite.empty()) {
    *low = 0;
    *high = 1;
    return;
  }
  auto at = [&finite](double q) {
    size_t k = static_cast<size_t>(q * (finite.size() - 1));
    std::nth_element(finite.begin(), finite.begin() + k, finite.end());
    return finite[k];
  };
  *low = at(0.02);
  *high = at(0.98);
  if (*high <= *low) *high = *low + 1;
}

bool WriteFalseColourPng(const std::string& path, const FloatImage& image, float low, float high) {
  if (image.width == 0 || image.height == 0 || image.values.size() != size_t{image.width} * image.height)
    return false;
  FilePtr file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  const unsigned height = image.height + kGap + kBarHeight;
  std::vector<uint8_t> row(size_t{image.width} * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, image.width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < image.width; ++x) {
      Rgb c{255, 255, 255};
      if (y < image.height)
        c = Colour(image.values[size_t{y} * image.width + x], low, high);
      else if (y >= image.height + kGap)
        c = Ramp(image.width > 1 ? static_cast<float>(x) / (image.width - 1) : 0.0f);
      row[3 * x] = c.r;
      row[3 * x + 1] = c.g;
      row[3 * x + 2] = c.b;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fflush(file.get()) == 0;
}

bool WriteCsv(const std::string& path, const FloatImage& image) {
  FilePtr file(std::fopen(path.c_str(), "w"), &std::fclose);
  if (!file) return false;
  for (unsigned y = 0; y < image.height; ++y)
    for (unsigned x = 0; x < image.width; ++x)
      std::fprintf(file.get(), "%g%c", image.values[size_t{y} * image.width + x], x + 1 == image.width ? '\n' : ';');
  return std::ferror(file.get()) == 0;
}

}  // namespace orvexctl
