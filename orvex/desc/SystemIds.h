// The systems a system description file offers, for messages and listings.
#pragma once

#include <string>
#include <vector>

namespace orvex {

// The id of every System element of the file, in file order; empty when the
// file cannot be read.
std::vector<std::string> SystemIds(const std::string& sysDescPath);

// The ids joined by ", ".
std::string JoinedSystemIds(const std::string& sysDescPath);

}  // namespace orvex
