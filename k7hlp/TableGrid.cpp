#include "TableGrid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace k7hlp {
namespace {

// Cells per table point tried first, and the bounds of the search for a grid
// fine enough: beyond them the grid outgrows the first-level caches, and its
// setup on every call would eat what it saves. The coarsest grid comes first:
// the wider a cell, the more pixels of a smooth surface one run of cells in
// registers serves in the wide kernels.
constexpr uint32_t kFirstCellsPerPoint = 1;
constexpr uint32_t kMaxCellsPerPoint = 64;
constexpr uint32_t kMaxCells = 1u << 14;

bool StrictlyIncreasing(const std::vector<zTagItem>& t) {
  for (size_t i = 0; i + 1 < t.size(); ++i)
    if (!(t[i].x < t[i + 1].x)) return false;  // NaN fails as well
  return true;
}

}  // namespace

TableGrid::TableGrid(const std::vector<zTagItem>& table, const std::vector<float>& slopes, ScalingKernel kernel) {
  if (table.size() < 3 || slopes.size() != table.size() || !StrictlyIncreasing(table)) return;
  const float range = table.back().x - table.front().x;
  if (!std::isfinite(range)) return;
  const size_t limit = std::min<size_t>(kMaxCells, kMaxCellsPerPoint * table.size());
  for (size_t cells = kFirstCellsPerPoint * table.size(); cells <= limit; cells *= 2)
    if (Place(table, static_cast<uint32_t>(cells))) {
      Fill(table, slopes);
      if (kernel == ScalingKernel::kPortable) FillSegments();
      return;
    }
}

// Cells for the points with the per-pixel operations; true when no two points share one.
bool TableGrid::Place(const std::vector<zTagItem>& table, uint32_t cells) {
  first_ = table.front().x;
  perCell_ = static_cast<float>(cells) / (table.back().x - first_);
  if (!std::isfinite(perCell_)) return false;
  const float top = std::trunc((table.back().x - first_) * perCell_);
  if (!(top < static_cast<float>(2 * kMaxCells))) return false;
  lastCell_ = top;
  cellOf_.resize(table.size());
  for (size_t k = 0; k < table.size(); ++k) {
    cellOf_[k] = GridCell(table[k].x, first_, perCell_, lastCell_);
    if (k > 0 && cellOf_[k] == cellOf_[k - 1]) return false;
  }
  return true;
}

// A value in a cell is at or above every point of earlier cells and below
// every point of later ones (the cell index never decreases with the value),
// so the point count std::upper_bound would give is the count of earlier
// points, plus one at or above the cell's own point: the next cell's count.
// Each cell keeps the segment of its own count, clamped as the search path
// clamps it (values beyond the table follow its first or second-to-last
// segment).
void TableGrid::Fill(const std::vector<zTagItem>& table, const std::vector<float>& slopes) {
  // One cell more than used: values at or above the last point take its segment.
  cells_ = std::max(static_cast<uint32_t>(lastCell_) + 2, kGridStretch);
  data_.reset(new float[4 * size_t{cells_}]);
  float* point = data_.get();
  float* slope = point + cells_;
  float* x = slope + cells_;
  float* z = x + cells_;
  const size_t n = table.size();
  size_t below = 0;  // points in earlier cells; n in the cells past the last one
  for (size_t cell = 0; cell < cells_; ++cell) {
    const bool holdsPoint = below < n && cellOf_[below] == cell;
    point[cell] = holdsPoint ? table[below].x : std::numeric_limits<float>::infinity();
    size_t k = below;
    if (k == 0) k = 1;
    if (k == n) k = n - 2;
    slope[cell] = slopes[k];
    x[cell] = table[k].x;
    z[cell] = table[k].z;
    below += holdsPoint;
  }
  cellOf_.clear();
}

void TableGrid::FillSegments() {
  const GridLookup g = Lookup();
  segment_.resize(cells_);
  for (size_t j = 0; j < segment_.size(); ++j) segment_[j] = {g.slope[j], g.x[j], g.z[j], 0.0f};
}

GridLookup TableGrid::Lookup() const {
  const float* point = data_.get();
  const size_t cells = cells_;
  return {first_,          perCell_,          lastCell_,         cells_,
          point,           point + cells,     point + 2 * cells, point + 3 * cells,
          segment_.empty() ? nullptr : segment_.data()};
}

}  // namespace k7hlp
