#include "FalseColour.h"

#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

GST_DEBUG_CATEGORY_STATIC(orvex_colour_debug);
#define GST_CAT_DEFAULT orvex_colour_debug

namespace orvexgst {

Rgb ColourAt(double t) {
  t = std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.0;
  auto channel = [t](double centre) {
    return uint8_t(std::lround(255.0 * std::clamp(1.5 - std::fabs(4.0 * t - centre), 0.0, 1.0)));
  };
  return {channel(3.0), channel(2.0), channel(1.0)};
}

}  // namespace orvexgst

struct GstOrvexFalseColour {
  GstVideoFilter parent;
  gdouble min, max, scale;
};

struct GstOrvexFalseColourClass {
  GstVideoFilterClass parent_class;
};

G_DEFINE_TYPE(GstOrvexFalseColour, gst_orvex_false_colour, GST_TYPE_VIDEO_FILTER)

namespace {

using orvexgst::kScaleRows;

enum Property { PROP_0, PROP_MIN, PROP_MAX, PROP_SCALE };

GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("GRAY16_LE")));
GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("RGBx")));

// 3 x 5 pixel digits, row by row from the top, bit 2 the left column.
struct Glyph {
  char c;
  uint8_t rows[5];
};
const Glyph kGlyphs[] = {{'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}},
                         {'3', {7, 1, 7, 1, 7}}, {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}},
                         {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}}, {'8', {7, 5, 7, 5, 7}},
                         {'9', {7, 5, 7, 1, 7}}, {'.', {0, 0, 0, 0, 2}}, {'-', {0, 0, 7, 0, 0}}};

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

// One RGBx picture to draw into.
struct Canvas {
  uint8_t* pixels;
  int stride, width, height;
  void Put(int x, int y, orvexgst::Rgb c) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = pixels + size_t(y) * stride + size_t(x) * 4;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = 0xFF;
  }
  void Text(int x, int y, const char* text) {
    for (; *text; ++text, x += 4) {
      const Glyph* g = FindGlyph(*text);
      for (int row = 0; g && row < 5; ++row)
        for (int col = 0; col < 3; ++col)
          if (g->rows[row] & (4 >> col)) Put(x + col, y + row, {255, 255, 255});
    }
  }
};

// The range shown: the properties, or the frame's non-zero samples when
// they give none.
void FrameRange(const GstOrvexFalseColour* self, const GstVideoFrame* in, double* low, double* high) {
  *low = self->min;
  *high = self->max;
  if (*high > *low) return;
  uint16_t lo = 0xFFFF, hi = 0;
  for (int y = 0; y < GST_VIDEO_FRAME_HEIGHT(in); ++y) {
    auto* row = reinterpret_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(in, 0)) +
                size_t(y) * GST_VIDEO_FRAME_PLANE_STRIDE(in, 0);
    for (int x = 0; x < GST_VIDEO_FRAME_WIDTH(in); ++x) {
      uint16_t v = uint16_t(row[2 * x] | (row[2 * x + 1] << 8));
      if (v == 0) continue;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  *low = hi >= lo ? lo : 0;
  *high = hi > lo ? hi : *low + 1;
}

void DrawPicture(const GstVideoFrame* in, Canvas& out, double low, double high) {
  for (int y = 0; y < GST_VIDEO_FRAME_HEIGHT(in); ++y) {
    auto* row = reinterpret_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(in, 0)) +
                size_t(y) * GST_VIDEO_FRAME_PLANE_STRIDE(in, 0);
    for (int x = 0; x < GST_VIDEO_FRAME_WIDTH(in); ++x) {
      uint16_t v = uint16_t(row[2 * x] | (row[2 * x + 1] << 8));
      // 0 is a pixel without a value: black.
      out.Put(x, y, v ? orvexgst::ColourAt((v - low) / (high - low)) : orvexgst::Rgb{0, 0, 0});
    }
  }
}

void DrawScale(Canvas& out, int top, double low, double high, double scale) {
  for (int y = top; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) out.Put(x, y, {0, 0, 0});
  for (int x = 0; x < out.width; ++x) {
    orvexgst::Rgb c = orvexgst::ColourAt(out.width > 1 ? double(x) / (out.width - 1) : 0.0);
    for (int y = top + 3; y < top + 13; ++y) out.Put(x, y, c);
  }
  char lowText[32], highText[32];
  std::snprintf(lowText, sizeof lowText, "%.1f", low / scale);
  std::snprintf(highText, sizeof highText, "%.1f", high / scale);
  out.Text(1, top + 16, lowText);
  out.Text(out.width - 1 - 4 * int(std::strlen(highText)), top + 16, highText);
}

GstFlowReturn TransformFrame(GstVideoFilter* filter, GstVideoFrame* in, GstVideoFrame* out) {
  auto* self = reinterpret_cast<GstOrvexFalseColour*>(filter);
  double low = 0, high = 1;
  GST_OBJECT_LOCK(self);
  FrameRange(self, in, &low, &high);
  double scale = self->scale;
  GST_OBJECT_UNLOCK(self);
  Canvas canvas{static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(out, 0)), GST_VIDEO_FRAME_PLANE_STRIDE(out, 0),
                GST_VIDEO_FRAME_WIDTH(out), GST_VIDEO_FRAME_HEIGHT(out)};
  DrawPicture(in, canvas, low, high);
  DrawScale(canvas, GST_VIDEO_FRAME_HEIGHT(in), low, high, scale);
  return GST_FLOW_OK;
}

GstCaps* TransformCaps(GstBaseTransform*, GstPadDirection direction, GstCaps* caps, GstCaps* filter) {
  GstCaps* result = gst_caps_new_empty();
  bool toSrc = direction == GST_PAD_SINK;
  for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
    GstStructure* s = gst_structure_copy(gst_caps_get_structure(caps, i));
    gst_structure_set(s, "format", G_TYPE_STRING, toSrc ? "RGBx" : "GRAY16_LE", nullptr);
    int height = 0;
    if (gst_structure_get_int(s, "height", &height)) {
      int other = toSrc ? height + kScaleRows : height - kScaleRows;
      if (other >= 1) gst_structure_set(s, "height", G_TYPE_INT, other, nullptr);
      else gst_structure_remove_field(s, "height");
    } else {
      gst_structure_set(s, "height", GST_TYPE_INT_RANGE, toSrc ? 1 + kScaleRows : 1, G_MAXINT, nullptr);
    }
    gst_caps_append_structure(result, s);
  }
  if (filter) {
    GstCaps* both = gst_caps_intersect_full(filter, result, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(result);
    result = both;
  }
  return result;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  auto* self = reinterpret_cast<GstOrvexFalseColour*>(object);
  GST_OBJECT_LOCK(self);
  switch (id) {
    case PROP_MIN: self->min = g_value_get_double(value); break;
    case PROP_MAX: self->max = g_value_get_double(value); break;
    case PROP_SCALE: self->scale = g_value_get_double(value); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
  GST_OBJECT_UNLOCK(self);
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  auto* self = reinterpret_cast<GstOrvexFalseColour*>(object);
  GST_OBJECT_LOCK(self);
  switch (id) {
    case PROP_MIN: g_value_set_double(value, self->min); break;
    case PROP_MAX: g_value_set_double(value, self->max); break;
    case PROP_SCALE: g_value_set_double(value, self->scale); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
  GST_OBJECT_UNLOCK(self);
}

}  // namespace

static void gst_orvex_false_colour_init(GstOrvexFalseColour* self) {
  self->min = 0;
  self->max = 0;
  self->scale = 1;
}

static void gst_orvex_false_colour_class_init(GstOrvexFalseColourClass* klass) {
  GST_DEBUG_CATEGORY_INIT(orvex_colour_debug, "orvexfalsecolour", 0, "Orvex false colour");
  auto* object = G_OBJECT_CLASS(klass);
  object->set_property = SetProperty;
  object->get_property = GetProperty;
  const auto flags = GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_CONTROLLABLE);
  g_object_class_install_property(
      object, PROP_MIN,
      g_param_spec_double("min", "Minimum", "Sample value shown blue (min >= max: each frame's own range)", 0,
                          65535, 0, flags));
  g_object_class_install_property(
      object, PROP_MAX, g_param_spec_double("max", "Maximum", "Sample value shown red", 0, 65535, 0, flags));
  g_object_class_install_property(
      object, PROP_SCALE,
      g_param_spec_double("scale", "Label scale",
                          "The labels show sample / scale (32: surfaces in frames, 16: amplitudes)", 1e-6,
                          G_MAXDOUBLE, 1, flags));
  auto* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_set_static_metadata(element, "Orvex false colour", "Filter/Effect/Video",
                                        "Grey levels in false colour with a colour scale", "Orvex camera kit");
  gst_element_class_add_static_pad_template(element, &sink_template);
  gst_element_class_add_static_pad_template(element, &src_template);
  GST_BASE_TRANSFORM_CLASS(klass)->transform_caps = TransformCaps;
  GST_VIDEO_FILTER_CLASS(klass)->transform_frame = TransformFrame;
}
