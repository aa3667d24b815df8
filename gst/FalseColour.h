// orvexfalsecolour: GRAY16_LE frames (surfaces, amplitudes) shown in false
// colour, blue for low through green to red for high, with a colour bar and
// its end values below the picture. Debian's plugins-base and -good have no
// element that maps grey levels to a colour scale.
#pragma once

#include <gst/gst.h>

#include <cstdint>

G_BEGIN_DECLS

#define GST_TYPE_ORVEX_FALSE_COLOUR (gst_orvex_false_colour_get_type())
GType gst_orvex_false_colour_get_type(void);

G_END_DECLS

namespace orvexgst {

// Rows added below the picture for the colour bar and its labels.
constexpr int kScaleRows = 24;

struct Rgb {
  uint8_t r, g, b;
};
// The colour of t in [0, 1] (clamped): blue, cyan, green, yellow, red.
Rgb ColourAt(double t);

}  // namespace orvexgst
