#include "Median.h"

#include <algorithm>
#include <cmath>

namespace k7hlp {
namespace {

bool Before(float a, float b) { return a < b || (!std::isnan(a) && std::isnan(b)); }

}  // namespace

float Median(std::vector<float>& values) {
  const size_t n = values.size();
  const auto upper = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(values.begin(), upper, values.end(), Before);
  if (n % 2 == 1) return *upper;
  // After the selection the lower middle element is the largest of the lower half.
  const float lower = *std::max_element(values.begin(), upper, Before);
  return (lower + *upper) / 2;
}

}  // namespace k7hlp
