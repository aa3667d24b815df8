#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <utility>
#include <vector>

#include "ImageChecks.h"
#include "LastError.h"
#include "Record.h"
#include "Scaling.h"
#include "Status.h"
#include "TableGrid.h"

namespace k7hlp {
namespace {

constexpr size_t kMinPairs = 3;
constexpr int kReferenceFrameDuration = 70000;

// The console report gives processor time. Reading that clock is a system call
// (about 3 us on a virtual machine), which the four readings pay on every call.
double Milliseconds() { return static_cast<double>(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

uint32_t ReadU32(const uint8_t* header, uint32_t offset) {
  uint32_t value;
  std::memcpy(&value, header + offset, sizeof value);
  return value;
}

// For a table whose x never decreases, the index std::upper_bound gives,
// found from a guess out of an even grid over the x range and a short walk:
// the walk makes the answer independent of the guess. Other tables keep the
// binary search, whose answer on unordered x is its own.
class PairIndex {
 public:
  explicit PairIndex(const std::vector<zTagItem>& t) : table_(t) {
    for (size_t i = 0; i + 1 < t.size(); ++i)
      if (!(t[i].x <= t[i + 1].x)) return;
    first_ = t.front().x;
    last_ = t.back().x;
    if (!(last_ > first_) || !std::isfinite(last_ - first_)) return;
    const size_t cells = kCellsPerPair * t.size();
    perCell_ = static_cast<double>(cells) / (static_cast<double>(last_) - first_);
    // The cell edges ascend, so one walk along the table finds every start.
    start_.resize(cells);
    size_t k = 0;
    for (size_t b = 0; b < cells; ++b) {
      const float edge = static_cast<float>(first_ + b / perCell_);
      while (k < t.size() && !(edge < t[k].x)) ++k;
      start_[b] = static_cast<uint32_t>(k);
    }
  }

  size_t UpperBound(float c) const {
    if (start_.empty()) return Search(c);
    if (c < first_) return 0;
    if (!(c < last_)) return table_.size();  // NaN too: nothing compares above it
    size_t k = start_[std::min(static_cast<size_t>((c - first_) * perCell_), start_.size() - 1)];
    while (k > 0 && c < table_[k - 1].x) --k;
    while (k < table_.size() && !(c < table_[k].x)) ++k;
    return k;
  }

 private:
  static constexpr size_t kCellsPerPair = 8;

  size_t Search(float c) const {
    auto above = std::upper_bound(table_.begin(), table_.end(), c,
                                  [](float v, const zTagItem& item) { return v < item.x; });
    return static_cast<size_t>(above - table_.begin());
  }

  const std::vector<zTagItem>& table_;
  float first_ = 0.0f, last_ = 0.0f;
  double perCell_ = 0.0;
  std::vector<uint32_t> start_;
};

// Piecewise-linear through the pair above c and its predecessor; values
// beyond the table follow its first or second-to-last segment. The slope of
// each segment is computed once, by the same operations as per pixel.
class Segments {
 public:
  explicit Segments(const std::vector<zTagItem>& t) : table_(t), slope_(t.size()) {
    for (size_t k = 1; k < t.size(); ++k) slope_[k] = (t[k].z - t[k - 1].z) / (t[k].x - t[k - 1].x);
  }

  bool Interpolate(size_t k, float c, float* out) const {
    if (k == 0) k = 1;
    if (k == table_.size()) k = table_.size() - 2;
    if (table_[k].x == table_[k - 1].x) return false;
    *out = slope_[k] * (c - table_[k].x) + table_[k].z;
    return true;
  }

  const std::vector<float>& Slopes() const { return slope_; }

 private:
  const std::vector<zTagItem>& table_;
  std::vector<float> slope_;
};

// The general path, for tables the grid does not take: a search per pixel.
// False as soon as a value falls on a segment without width.
bool ScaleBySearch(const float* surface, size_t pixels, const std::vector<zTagItem>& frames,
                   const Segments& segments, float* scaled) {
  const PairIndex index(frames);
  for (size_t i = 0; i < pixels; ++i)
    if (!segments.Interpolate(index.UpperBound(surface[i]), surface[i], &scaled[i])) return false;
  return true;
}

}  // namespace

int ScaleByTable(const K7Hlp_Data& in, K7Hlp_Data& out, const std::vector<zTagItem>& table, FloatBlock& reuse) {
  const float z = static_cast<float>(ReadU32(static_cast<const uint8_t*>(in.header), kFrmDurOffset));
  if (z == 0.0f) return kZeroReference;
  if (table.size() < kMinPairs) return Fail(kShortTable, "K7Hlp_scaleSurface:: zTag table needs at least 3 pairs...");

  const double t0 = Milliseconds();
  // x of the table refers to the reference frame duration; bring it to this one's frames.
  std::vector<zTagItem> frames(table);
  for (zTagItem& item : frames) item.x = item.x / (z / kReferenceFrameDuration);
  const double t1 = Milliseconds();

  out.unit = K7Hlp_unitScaled;
  const size_t pixels = PixelCount(in);
  std::unique_ptr<float[]> scaled = Uncleared(pixels, reuse);
  const Segments segments(frames);
  // Strictly increasing tables have no segment without width: the grid needs no failure path.
  const ScalingKernel kernel = BestScalingKernel();
  const TableGrid grid(frames, segments.Slopes(), kernel);
  const double t2 = Milliseconds();

  const float* surface = FloatSamples(in);
  if (grid.Ready())
    PositionsFromGrid(surface, pixels, grid.Lookup(), scaled.get(), kernel);
  else if (!ScaleBySearch(surface, pixels, frames, segments, scaled.get()))
    return kEqualTableX;
  AdoptFloatSamples(out, in.dim[0], in.dim[1], in.dim[2], in.dim[3], std::move(scaled), pixels);
  const double t3 = Milliseconds();
  std::printf("convert %f, meta %f, computing %f\n", (t1 - t0) / 1000, (t2 - t1) / 1000, (t3 - t2) / 1000);
  return kOk;
}

}  // namespace k7hlp
