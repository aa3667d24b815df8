#pragma once

#include <string>

namespace orvex {

// Longest data-folder text kept, as the fixed 260-character buffer it replaces.
constexpr size_t kMaxPathChars = 259;

// The common application-data folder followed by "/Tavrin": the first entry of
// XDG_DATA_DIRS when set and not empty, else the installation data directory.
// Computed anew at every call.
std::string DataFolder();

// "<data folder>/devDesc/<name>", cut to 255 characters like the original buffers.
std::string DevDescPath(const std::string& name);

}  // namespace orvex
