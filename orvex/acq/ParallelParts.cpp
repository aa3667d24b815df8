#include "acq/ParallelParts.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace orvex {

void RunInParts(uint32_t threads, size_t count, size_t step, const std::function<void(size_t, size_t)>& part) {
  const size_t steps = step ? (count + step - 1) / step : 0;
  const size_t pieces = std::max<size_t>(1, std::min<size_t>(threads, steps));
  auto boundary = [&](size_t piece) { return std::min(count, steps * piece / pieces * step); };
  std::vector<std::thread> helpers;
  helpers.reserve(pieces - 1);
  for (size_t piece = 1; piece < pieces; ++piece) {
    try {
      helpers.emplace_back(part, boundary(piece), boundary(piece + 1));
    } catch (const std::system_error&) {
      part(boundary(piece), boundary(piece + 1));
    }
  }
  part(0, boundary(1));
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace orvex
