// The data processing routines on plain byte ranges. Each is one pass over the
// source in the order the sensor delivered it. Every routine first checks that
// the source holds what it reads and the destination what it writes; when
// either is short it returns false and touches nothing.
//
// Each routine runs on the widest kernel the processor has; the overloads that
// take a SimdLevel run the one named (the level must be one the processor
// runs), so that tests can compare the kernels. Those of regrouping and window
// expansion also take the number of threads the call may start (0 or 1: the
// calling thread alone); the result does not depend on it.
//
// Pointers carry no alignment promise (application buffers may start anywhere);
// source and destination must not overlap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "acq/SimdLevel.h"

namespace orvex {

// Geometry of a stacked acquisition: rows of groups of three pixels, one
// element per pixel and frame.
struct StackShape {
  uint32_t rows;
  uint32_t groups;       // per row; three pixels each
  uint32_t elementBytes; // 4, 2 or 1
};
constexpr StackShape kStack300x300x32{300, 100, 4};  // data modes 1 and 7
constexpr StackShape kStack282x292x16{292, 94, 2};   // data mode 3
constexpr StackShape kStack282x292x8{292, 94, 1};    // data mode 4

// Bytes one routine reads and writes (64-bit: frame counts come from the device).
uint64_t StackBytes(const StackShape& shape, uint32_t frames);

// Sensor order (row, group, frame, three elements) into frame-major images.
bool RegroupFrames(const void* src, size_t srcBytes, void* dst, size_t dstBytes, const StackShape& shape,
                   uint32_t frames);
bool RegroupFrames(SimdLevel level, const void* src, size_t srcBytes, void* dst, size_t dstBytes,
                   const StackShape& shape, uint32_t frames, uint32_t threads = 1);

// A16Z16 images: 280 x 292 pixels of two u16, and the same with the centre cross.
constexpr uint32_t kA16Z16Columns = 280;
constexpr uint32_t kA16Z16Rows = 292;
constexpr size_t kA16Z16Bytes = size_t{kA16Z16Columns} * kA16Z16Rows * 4;
constexpr size_t kA16Z16CrossBytes = size_t{kA16Z16Columns + 1} * (kA16Z16Rows + 1) * 4;

// Each u16 half: the floor average when both halves are non-zero, else a's half.
inline uint32_t PairAverage(uint32_t a, uint32_t b) {
  uint32_t aLow = a & 0xFFFF, bLow = b & 0xFFFF, aHigh = a >> 16, bHigh = b >> 16;
  uint32_t low = (aLow && bLow) ? (aLow + bLow) >> 1 : aLow;
  uint32_t high = (aHigh && bHigh) ? (aHigh + bHigh) >> 1 : aHigh;
  return (high << 16) | low;
}

// 280 x 292 into 281 x 293 with a synthesised centre column (140) and row (146).
bool WidenCentreCross(const void* src, size_t srcBytes, void* dst, size_t dstBytes);

// Window data: compact (start word per pixel, two words per sample) into three
// u16 per sample (position, amplitude word, phase word). halfWindow is H (<= 10).
// A row holds two pixels at each edge and groups of three in between; each
// group is its start words, then per sample the words of its pixels.
constexpr uint32_t kWindowRows = 292;
constexpr uint32_t kWindowColumns = 280;
uint64_t CompactWindowBytes(uint32_t halfWindow);
uint64_t ExpandedWindowBytes(uint32_t halfWindow);
bool ExpandWindow(const void* src, size_t srcBytes, void* dst, size_t dstBytes, uint32_t halfWindow);
bool ExpandWindow(SimdLevel level, const void* src, size_t srcBytes, void* dst, size_t dstBytes,
                  uint32_t halfWindow, uint32_t threads = 1);

// Adds offsets to the non-zero surface words (odd word indices) of A16Z16 data,
// saturating at 65535. words counts u16 in both arrays.
void AddSurfaceOffsets(void* data, const void* offsets, size_t words);
void AddSurfaceOffsets(SimdLevel level, void* data, const void* offsets, size_t words);

// Intensity planes: dark-corrected, high-dynamic-range f32 planes of 300 x 300.
struct IntensityParams {
  uint32_t frames;     // N
  uint32_t darkFrames; // D
  float factor;        // F, from ExposureFactor
};
float ExposureFactor(uint32_t expRatio);
// False for the frame counts that give no dark average or no planes (D < 2,
// N < D + 3); see docs/processing.md.
bool IntensityFramesUsable(uint32_t frames, uint32_t darkFrames);
bool ComputeIntensity(const void* src, size_t srcBytes, void* dst, size_t dstBytes, const IntensityParams& params);
bool ComputeIntensity(SimdLevel level, const void* src, size_t srcBytes, void* dst, size_t dstBytes,
                      const IntensityParams& params);

// WidenCentreCross on the kernel of `level`.
bool WidenCentreCross(SimdLevel level, const void* src, size_t srcBytes, void* dst, size_t dstBytes);

}  // namespace orvex
