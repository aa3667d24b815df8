#include "MedianSlopes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "Median.h"
#include "SlopeTally.h"

namespace k7hlp {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
// The slopes kept inside a bracket are selected the same way, with a
// smaller sample, until so few are left that a plain selection is quicker.
constexpr size_t kKeptSample = 256;
constexpr size_t kPlainSelection = 512;

// Two ranks wanted together: the middle ones of a median, equal for an odd count.
struct Ranks {
  size_t lower, upper;
};

// As Median() gives them: a zero median is +0, NaN a quiet NaN.
float AsMedian(float v) {
  if (v != v) return kNaN;
  return v == 0.0f ? 0.0f : v;
}

float SlopeAt(const SlopeGrid& g, size_t x, size_t y, size_t step) {
  const float* p = g.image + x + g.width * y;
  return p[0] - p[step];
}

// One direction of the grid under selection: its pixel step, its sample,
// what the passes tallied and the block the kept slopes go to.
struct Direction {
  bool alongX;
  size_t step;
  std::vector<float> sample;
  DirectionTally tally;
  std::unique_ptr<float[]> kept;
};

// Slopes at scattered positions: a fixed pseudo-random walk, so that a
// periodic pattern in the image cannot line up with the sample.
void SampleSlopes(const SlopeGrid& g, size_t count, Direction* const* directions, size_t directionCount) {
  uint64_t state = 0x9E3779B97F4A7C15u;
  auto below = [&state](size_t limit) {  // uniform enough in [0, limit) for limit < 2^32
    state = state * 6364136223846793005u + 1442695040888963407u;
    return static_cast<size_t>((state >> 32) * limit >> 32);
  };
  for (size_t d = 0; d < directionCount; ++d) directions[d]->sample.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t x = below(g.across), y = below(g.down);
    for (size_t d = 0; d < directionCount; ++d) directions[d]->sample[i] = SlopeAt(g, x, y, directions[d]->step);
  }
}

// The bracket: the sample positions of the wanted ranks, widened by four
// standard deviations of a sample quantile, so that the full data's ranks
// fall inside but for a rare unlucky sample; and the sample value between
// them. Only these three are selected, the sample is not sorted. A NaN end
// becomes +inf: every number is at most +inf, so what lies beyond is NaN.
// Room is made for twice the share of slopes the bracket is expected to hold.
void ChooseBracket(Ranks ranks, size_t total, Direction& d) {
  std::vector<float>& s = d.sample;
  const auto at = [&s](size_t i) { return s.begin() + static_cast<std::ptrdiff_t>(i); };
  const size_t count = static_cast<size_t>(std::partition(s.begin(), s.end(), [](float v) { return v == v; }) - s.begin());
  const size_t m = s.size(), root = static_cast<size_t>(std::sqrt(static_cast<double>(m)));
  const size_t margin = 2 * root + 1;
  const size_t first = ranks.lower * m / total, last = ranks.upper * m / total, middle = (first + last) / 2;
  const size_t low = first > margin ? first - margin : 0, high = std::min(m - 1, last + margin);
  float lo = kInf, mid = kNaN, hi = kInf;
  size_t end = count;  // sample values from `end` on are at least hi
  if (high < count) {
    std::nth_element(s.begin(), at(high), at(count));
    hi = s[high];
    end = high;
  }
  if (low < count) {
    std::nth_element(s.begin(), at(low), at(end));
    lo = s[low];
  }
  if (low < middle && middle < end) {
    std::nth_element(at(low + 1), at(middle), at(end));
    if (s[middle] != lo && s[middle] != hi) mid = s[middle];
  }
  if (lo == hi) {
    d.tally.kind = DirectionTally::Kind::kPoint;
    d.tally.point.at = lo;
    return;
  }
  RangeTally& r = d.tally.range;
  d.tally.kind = DirectionTally::Kind::kRange;
  r.lo = lo;
  r.mid = mid;
  r.hi = hi;
  r.capacity = std::min(total, total * 8 / std::max<size_t>(root, 1) + 64);
  d.kept.reset(new float[r.capacity + kKeepSlack]);
  r.inside = d.kept.get();
}

// Ranks of n kept slopes by a plain selection: they lie strictly inside a
// bracket of numbers, so none is NaN.
void SelectPlainly(const float* values, size_t n, Ranks ranks, float (&out)[2]) {
  std::vector<float> v(values, values + n);
  const auto nth = v.begin() + static_cast<std::ptrdiff_t>(ranks.lower);
  std::nth_element(v.begin(), nth, v.end());
  out[0] = out[1] = *nth;
  if (ranks.upper != ranks.lower) out[1] = *std::min_element(nth + 1, v.end());
}

void SelectKept(const float* values, size_t n, Ranks ranks, bool avx2, size_t sampleSize, float (&out)[2]);

class Selection {
 public:
  Selection(const SlopeGrid& grid, bool avx2, size_t sampleSize) : grid_(grid), avx2_(avx2), sampleSize_(sampleSize) {}

  void Tally(Direction& alongX, Direction& alongY) const { Run(alongX.tally, alongY.tally); }

  void Tally(Direction& d) const {
    DirectionTally skip;
    Run(d.alongX ? d.tally : skip, d.alongX ? skip : d.tally);
  }

  // The values of both ranks from the tally; false when the bracket missed.
  bool Values(Direction& d, Ranks ranks, float (&out)[2]) const {
    if (d.tally.kind == DirectionTally::Kind::kRange) {
      const RangeTally& r = d.tally.range;
      size_t lower = 0, upper = 0;
      if (PlaceOf(r, ranks.lower, &lower) == Place::kKept && PlaceOf(r, ranks.upper, &upper) == Place::kKept) {
        if (r.count > r.capacity) return false;
        SelectKept(r.inside, r.count, {lower, upper}, avx2_, sampleSize_, out);
        return true;
      }
    }
    return Value(d, ranks.lower, &out[0]) && Value(d, ranks.upper, &out[1]);
  }

 private:
  void Run(DirectionTally& x, DirectionTally& y) const {
    if (avx2_)
      TallySlopesAvx2(grid_, x, y);
    else
      TallySlopes(grid_, x, y);
  }

  // Counted again at a bracket end when a wanted rank lies there.
  PointTally CountAt(const Direction& d, float value) const {
    Direction point{d.alongX, d.step, {}, {}, nullptr};
    point.tally.kind = DirectionTally::Kind::kPoint;
    point.tally.point.at = value;
    Tally(point);
    return point.tally.point;
  }

  static bool PointValue(const PointTally& p, size_t rank, float* value) {
    if (rank < p.below) return false;
    if (rank < p.atMost)
      *value = p.at;
    else if (p.at == kInf)
      *value = kNaN;
    else
      return false;
    return true;
  }

  // Where a rank falls in a range tally: at or below lo, at mid, among the
  // kept slopes (with its rank among them), at or beyond hi.
  enum class Place { kLow, kMid, kKept, kHigh };
  static Place PlaceOf(const RangeTally& r, size_t rank, size_t* keptRank) {
    if (rank < r.atMostLo) return Place::kLow;
    if (rank >= r.atMostLo + r.equalMid + r.count) return Place::kHigh;
    if (rank >= r.belowMid && rank < r.belowMid + r.equalMid) return Place::kMid;
    *keptRank = rank - r.atMostLo - (rank >= r.belowMid + r.equalMid ? r.equalMid : 0);
    return Place::kKept;
  }

  bool Value(const Direction& d, size_t rank, float* value) const {
    if (d.tally.kind == DirectionTally::Kind::kPoint) return PointValue(d.tally.point, rank, value);
    const RangeTally& r = d.tally.range;
    size_t kept = 0;
    float out[2];
    switch (PlaceOf(r, rank, &kept)) {
      case Place::kLow:
        return PointValue(CountAt(d, r.lo), rank, value);
      case Place::kHigh:
        return PointValue(CountAt(d, r.hi), rank, value);
      case Place::kMid:
        *value = r.mid;
        return true;
      case Place::kKept:
        if (r.count > r.capacity) return false;
        SelectKept(r.inside, r.count, {kept, kept}, avx2_, sampleSize_, out);
        *value = out[0];
        return true;
    }
    return false;
  }

  const SlopeGrid& grid_;
  bool avx2_;
  size_t sampleSize_;
};

// The kept slopes (numbers only) as a one-row grid against zeros: v - 0 is
// v, so the slope passes select among them as well.
void SelectKept(const float* values, size_t n, Ranks ranks, bool avx2, size_t sampleSize, float (&out)[2]) {
  if (n <= kPlainSelection) return SelectPlainly(values, n, ranks, out);
  std::vector<float> row(2 * n, 0.0f);
  std::copy(values, values + n, row.begin());
  const SlopeGrid grid{row.data(), n, n, 1, n};
  Direction d{true, n, {}, {}, nullptr};
  Direction* directions[] = {&d};
  SampleSlopes(grid, std::min(sampleSize, kKeptSample), directions, 1);
  ChooseBracket(ranks, n, d);
  const Selection selection(grid, avx2, sampleSize);
  selection.Tally(d);
  if (!selection.Values(d, ranks, out)) SelectPlainly(values, n, ranks, out);
}

// The exact selection over stored slopes, for the brackets that missed.
float StoredMedian(const SlopeGrid& g, size_t step) {
  std::vector<float> slopes(g.across * g.down);
  for (size_t y = 0; y < g.down; ++y)
    for (size_t x = 0; x < g.across; ++x) slopes[x + g.across * y] = SlopeAt(g, x, y, step);
  return Median(slopes);
}

}  // namespace

SlopeMedians MedianSlopes(const float* image, size_t width, size_t height, size_t baseline, bool avx2,
                          size_t sampleSize) {
  const SlopeGrid grid{image, width, width - baseline, height - baseline, baseline};
  const size_t total = grid.across * grid.down;
  const Ranks ranks{(total - 1) / 2, total / 2};
  Direction alongX{true, baseline, {}, {}, nullptr}, alongY{false, width * baseline, {}, {}, nullptr};
  Direction* directions[] = {&alongX, &alongY};
  sampleSize = std::max<size_t>(sampleSize, 1);
  SampleSlopes(grid, sampleSize, directions, 2);
  ChooseBracket(ranks, total, alongX);
  ChooseBracket(ranks, total, alongY);
  const Selection selection(grid, avx2, sampleSize);
  selection.Tally(alongX, alongY);
  float median[2];
  for (size_t i = 0; i < 2; ++i) {
    float values[2];
    median[i] = selection.Values(*directions[i], ranks, values)
                    ? (ranks.lower == ranks.upper ? AsMedian(values[0]) : (AsMedian(values[0]) + AsMedian(values[1])) / 2)
                    : StoredMedian(grid, directions[i]->step);
  }
  return {median[0], median[1]};
}

}  // namespace k7hlp
