// Routes libOrvex's process-wide messages into the GStreamer debug log and
// keeps the latest warning or error of the calling thread, so that an element
// can put the library's own words into the error it posts.
#pragma once

#include <string>

namespace orvexgst {

// Installs the router once per process; an application callback that was
// installed before keeps receiving every message.
void InstallLibraryMessageRouter();
// The latest warning or error text the library sent on this thread ("" if none).
std::string TakeLastLibraryText();

}  // namespace orvexgst
