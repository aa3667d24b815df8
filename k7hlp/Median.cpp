#include "Median.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

namespace k7hlp {
namespace {

// An unsigned key that orders like the selection: numbers ascending, -0 equal
// to +0, every NaN after every number. Selecting on keys needs no comparison
// the branch predictor has to guess, and the loops below vectorise.
inline uint32_t OrderKey(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  bits = bits == 0x80000000u ? 0 : bits;
  const uint32_t key = (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
  return v != v ? 0xFFFFFFFFu : key;
}

inline float KeyValue(uint32_t key) {
  if (key == 0xFFFFFFFFu) return std::numeric_limits<float>::quiet_NaN();
  const uint32_t bits = (key & 0x80000000u) ? key & 0x7FFFFFFFu : ~key;
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

constexpr int kDigitBits = 11;
constexpr size_t kBuckets = size_t{1} << kDigitBits;
// Counting into four tables in turn keeps equal digits in a row (a smooth
// surface gives almost equal slopes) from waiting on each other's increments.
constexpr size_t kTables = 4;

struct Selected {
  uint32_t key;  // the key of the wanted rank
  size_t below;  // elements ordered strictly before it
};

// The highest bit in which the keys differ, -1 when all are equal.
int HighestDifferingBit(const uint32_t* keys, size_t n) {
  uint32_t all = 0xFFFFFFFFu, any = 0;
  for (size_t i = 0; i < n; ++i) {
    all &= keys[i];
    any |= keys[i];
  }
  const uint32_t differing = all ^ any;
  return differing ? 31 - __builtin_clz(differing) : -1;
}

void CountDigits(const uint32_t* keys, size_t n, int shift, uint32_t mask, uint32_t (&counts)[kTables][kBuckets]) {
  std::memset(counts, 0, sizeof counts);
  size_t i = 0;
  for (; i + kTables <= n; i += kTables)
    for (size_t t = 0; t < kTables; ++t) ++counts[t][(keys[i + t] >> shift) & mask];
  for (; i < n; ++i) ++counts[0][(keys[i] >> shift) & mask];
}

// Radix selection, most significant digit first, from the highest bit in
// which the keys differ: each pass keeps only the keys whose digit holds the
// wanted rank (in place: the keys are scratch), so the work shrinks with every
// pass and no element is compared with another.
Selected SelectRank(uint32_t* keys, size_t n, size_t rank) {
  size_t below = 0;
  int top = HighestDifferingBit(keys, n);
  uint32_t counts[kTables][kBuckets];
  while (top >= 0) {
    const int shift = top + 1 > kDigitBits ? top + 1 - kDigitBits : 0;
    const uint32_t mask = (1u << (top + 1 - shift)) - 1;
    CountDigits(keys, n, shift, mask, counts);
    uint32_t digit = 0, inBucket = 0;
    for (;; ++digit) {
      inBucket = counts[0][digit] + counts[1][digit] + counts[2][digit] + counts[3][digit];
      if (rank < inBucket) break;
      rank -= inBucket;
      below += inBucket;
    }
    top = shift - 1;
    if (inBucket == n) continue;  // every key has this digit: nothing to drop
    size_t kept = 0;
    for (size_t i = 0; i < n; ++i) {
      keys[kept] = keys[i];
      kept += ((keys[i] >> shift) & mask) == digit;
    }
    n = kept;
  }
  return {keys[0], below};
}

// The largest key below `key` (there is one when something is ordered before it).
uint32_t LargestBelow(const uint32_t* keys, size_t n, uint32_t key) {
  uint32_t best = 0;
  for (size_t i = 0; i < n; ++i) best = keys[i] < key && keys[i] > best ? keys[i] : best;
  return best;
}

}  // namespace

float Median(const std::vector<float>& values) {
  const size_t n = values.size();
  // The keys, and a copy the selection may reorder (not cleared: all written).
  std::unique_ptr<uint32_t[]> block(new uint32_t[2 * n]);
  uint32_t* keys = block.get();
  uint32_t* work = keys + n;
  for (size_t i = 0; i < n; ++i) work[i] = keys[i] = OrderKey(values[i]);
  const Selected upper = SelectRank(work, n, n / 2);
  const float upperValue = KeyValue(upper.key);
  if (n % 2 == 1) return upperValue;
  // The lower middle element shares the upper one's key unless fewer than
  // n / 2 elements come before that key.
  const float lower = upper.below < n / 2 ? upperValue : KeyValue(LargestBelow(keys, n, upper.key));
  return (lower + upperValue) / 2;
}

}  // namespace k7hlp
