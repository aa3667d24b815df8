// "NAME=VALUE NAME=VALUE ..." written to the maps and registers of an open
// system, with numbers or the maps' enumeration names, as orvexctl takes them.
#pragma once

#include <string>

#include "Orvex.h"

namespace orvexgst {

// Applies every assignment in order; stops at the first that fails and
// returns its description ("" when all were written).
std::string ApplySettings(QV_Handle handle, const std::string& settings);

}  // namespace orvexgst
