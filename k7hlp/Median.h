// Median by radix selection instead of a sort: the same value, linear time.
#pragma once

#include <vector>

namespace k7hlp {

// For an even count the mean of the two middle elements. NaN values order
// after every number; -0 and +0 are equal, and a zero median is +0. `values` must not be empty.
float Median(const std::vector<float>& values);

}  // namespace k7hlp
