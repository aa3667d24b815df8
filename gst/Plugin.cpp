// The "orvex" plug-in: orvexsrc and orvexfalsecolour.
#include <gst/gst.h>

#include "FalseColour.h"
#include "OrvexSrc.h"

#ifndef PACKAGE
#define PACKAGE "orvex"
#endif

static gboolean plugin_init(GstPlugin* plugin) {
  return gst_element_register(plugin, "orvexsrc", GST_RANK_NONE, GST_TYPE_ORVEX_SRC) &&
         gst_element_register(plugin, "orvexfalsecolour", GST_RANK_NONE, GST_TYPE_ORVEX_FALSE_COLOUR);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, orvex, "Orvex lock-in depth camera", plugin_init,
                  ORVEX_VERSION, "Proprietary", "Orvex camera kit", "https://localhost/orvex")
