// Splitting one processing call over a few threads that the call itself starts
// and joins: no pool outlives the call, so the caller alone decides how many
// threads its processing may use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace orvex {

// Records at least this large may be split; smaller ones stay on the calling
// thread, whose whole pass takes well under a millisecond there, so a thread's
// start and join would eat much of what it saves.
constexpr size_t kParallelRecordBytes = size_t{8} << 20;

// Highest thread count a system accepts for its processing.
constexpr uint32_t kMaxProcessingThreads = 16;

// Runs part(begin, end) over [0, count) cut into at most `threads` pieces,
// each boundary a multiple of `step`. The first piece runs on the calling
// thread; when a thread cannot be started its piece runs there too. Returns
// after every piece is done. Pieces must write disjoint memory and not throw.
void RunInParts(uint32_t threads, size_t count, size_t step, const std::function<void(size_t, size_t)>& part);

}  // namespace orvex
