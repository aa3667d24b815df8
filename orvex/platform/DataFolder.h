#pragma once

#include <string>

namespace orvex {

// Longest data-folder text kept, as the fixed 260-character buffer it replaces.
constexpr size_t kMaxPathChars = 259;

// The common application-data folder followed by "/Tavrin". The folders of
// XDG_DATA_DIRS are searched in order, then the data directory beside the
// installed library, /usr/local/share and /usr/share; the first that holds
// "Tavrin" counts. Computed anew at every call.
std::string DataFolder();

// "<data folder>/devDesc/<name>", cut to 255 characters like the original buffers.
std::string DevDescPath(const std::string& name);

}  // namespace orvex
