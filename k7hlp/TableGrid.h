// The layout of GridLookup for one zTag table, built once per call.
#pragma once

#include <memory>
#include <vector>

#include "ScalingKernels.h"
#include "ZTagTable.h"

namespace k7hlp {

class TableGrid {
 public:
  // `slopes[k]` is the slope of the segment from point k - 1 to point k (k >=
  // 1). The grid stays empty when x does not strictly increase, is not finite,
  // or has points too close together for a grid of bounded size. The
  // segments are laid out whole as well when `kernel` is the portable one.
  TableGrid(const std::vector<zTagItem>& table, const std::vector<float>& slopes, ScalingKernel kernel);

  bool Ready() const { return data_ != nullptr; }
  GridLookup Lookup() const;

 private:
  bool Place(const std::vector<zTagItem>& table, uint32_t cells);
  void Fill(const std::vector<zTagItem>& table, const std::vector<float>& slopes);
  void FillSegments();

  float first_ = 0.0f, perCell_ = 0.0f, lastCell_ = 0.0f;
  uint32_t cells_ = 0;             // held, at least kGridStretch
  std::vector<uint32_t> cellOf_;  // per table point, while building
  // One block: the points per cell, then slopes, x and z per cell and side.
  std::unique_ptr<float[]> data_;
  std::vector<GridSegment> segment_;  // for the portable kernel only
};

}  // namespace k7hlp
