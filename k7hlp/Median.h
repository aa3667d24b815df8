// Median by selection instead of a full sort: the same value, linear time.
#pragma once

#include <vector>

namespace k7hlp {

// For an even count the mean of the two middle elements. NaN values order
// after every number so that selection stays well defined. `values` is
// reordered; it must not be empty.
float Median(std::vector<float>& values);

}  // namespace k7hlp
