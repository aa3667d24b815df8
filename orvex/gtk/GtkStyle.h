// The register dialog's look: the small dialog font and controls compact
// enough for rows 20 pixels apart. Scoped to the dialog's window by name so
// that a GTK application hosting the library keeps its own look.
#pragma once

namespace orvex_gtk {

constexpr const char* kDialogStyleName = "orvex-register-dialog";

void InstallDialogStyle();

}  // namespace orvex_gtk
