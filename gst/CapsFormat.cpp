#include "CapsFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvexgst {

float WordsPerUnit(Output output) {
  switch (output) {
    case Output::Surface:
      return kSurfaceWordsPerFrame;
    case Output::Amplitude:
      return kAmplitudeWordsPerUnit;
    default:
      return 1.0f;
  }
}

GstCaps* CapsFor(Output output, uint32_t width, uint32_t height, double rate) {
  gint num = 0, den = 1;
  if (rate > 0) gst_util_double_to_fraction(rate, &num, &den);
  GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "GRAY16_LE", "width", G_TYPE_INT,
                                      gint(width), "height", G_TYPE_INT, gint(height), "framerate",
                                      GST_TYPE_FRACTION, num, den, nullptr);
  if (output != Output::Raw) {
    GstStructure* floats = gst_structure_new("video/x-raw", "format", G_TYPE_STRING, "BGRA", kFloatField,
                                             G_TYPE_STRING, kFloatSample, "width", G_TYPE_INT, gint(width),
                                             "height", G_TYPE_INT, gint(height), "framerate", GST_TYPE_FRACTION,
                                             num, den, nullptr);
    gst_caps_append_structure(caps, floats);
  }
  return caps;
}

bool CarriesFloats(const GstCaps* caps) {
  if (!caps || gst_caps_is_empty(caps)) return false;
  const gchar* sample = gst_structure_get_string(gst_caps_get_structure(caps, 0), kFloatField);
  return sample && std::strcmp(sample, kFloatSample) == 0;
}

namespace {

uint16_t ToWord(float value, float scale) {
  float v = value * scale;
  return std::isfinite(v) ? uint16_t(std::lround(std::fmin(std::fmax(v, 0.0f), 65535.0f))) : 0;
}

void PutWord(uint8_t* at, uint16_t word) {
  at[0] = uint8_t(word);
  at[1] = uint8_t(word >> 8);
}

}  // namespace

std::vector<uint8_t> FrameBytes(const Image& image, Output output, bool floats, size_t stride) {
  static_assert(sizeof(float) == 4 && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "F32LE samples");
  stride = std::max(stride, size_t{image.width} * (floats && image.IsFloat() ? 4 : 2));
  std::vector<uint8_t> bytes(stride * image.height);
  float scale = WordsPerUnit(output);
  for (uint32_t y = 0; y < image.height; ++y) {
    uint8_t* row = bytes.data() + y * stride;
    size_t first = size_t{y} * image.width;
    if (!image.IsFloat()) {
      for (uint32_t x = 0; x < image.width; ++x) PutWord(row + 2 * x, image.words[first + x]);
    } else if (floats) {
      std::memcpy(row, image.values.data() + first, size_t{image.width} * 4);
    } else {
      for (uint32_t x = 0; x < image.width; ++x) PutWord(row + 2 * x, ToWord(image.values[first + x], scale));
    }
  }
  return bytes;
}

}  // namespace orvexgst
