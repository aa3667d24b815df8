// Geometry of the register dialog: how tall the rows make it, how many
// columns they are spread over and how big the window becomes.
#pragma once

#include "Orvex.h"

namespace orvex {

// Set bits over the masks of all register entries (0 without entries).
unsigned MapBitCount(const _Map* map);

// 40 for the register row plus 20 for a list or checkbox row and 40 for a
// value row, per map.
int EstimateDialogHeight(const _RegDesc* desc);

struct DialogGeometry {
  int columns;
  int columnHeight;
  int width;   // window width in pixels
  int height;  // window height in pixels
};

DialogGeometry ComputeDialogGeometry(int estimatedHeight);

// Row and control numbering.
constexpr int kFirstRowBase = 0x1000;
constexpr int kRowStep = 16;
enum ControlOffset { kOffsetLabel = 0, kOffsetValue = 1, kOffsetSlider = 2, kOffsetList = 3, kOffsetCheckbox = 4 };

// Where the rows start, how wide a column is.
constexpr int kRowsLeft = 10;
constexpr int kRowsTop = 110;
constexpr int kColumnWidth = 250;

// The empty, read-only notes box at the top of the dialog, converted from
// dialog units (7, 7, 564 x 55) with the 8-point dialog font's base units.
constexpr int kNotesId = 1005;
constexpr int kNotesX = 10;
constexpr int kNotesY = 11;
constexpr int kNotesWidth = 846;
constexpr int kNotesHeight = 89;

}  // namespace orvex
