// orvexsrc: a live push source that delivers a camera's (or a recording's)
// surfaces, amplitudes, intensities or processed raw words as video frames.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_ORVEX_SRC (gst_orvex_src_get_type())
GType gst_orvex_src_get_type(void);

G_END_DECLS
