// Texts reach GTK as valid UTF-8 whatever bytes the description or the
// caller handed us.
#pragma once

#include <string>

namespace orvex_gtk {

std::string ValidUtf8(const char* text);

}  // namespace orvex_gtk
