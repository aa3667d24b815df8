#pragma once

namespace orvex_gtk_test {

// Loads the GTK plug-in of the build once and makes it the library's backend;
// false when it did not load or found no display.
bool UseGtkBackend();

}  // namespace orvex_gtk_test
