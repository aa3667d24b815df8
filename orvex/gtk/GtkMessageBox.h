#pragma once

#include "platform/DesktopBackend.h"

typedef struct _GtkWindow GtkWindow;

namespace orvex_gtk {

// A modal box with one OK button, kept above other windows; returns when the
// user has closed it. parent may be null.
void RunMessageBox(GtkWindow* parent, const char* text, const char* caption, orvex::MessageIcon icon);

}  // namespace orvex_gtk
