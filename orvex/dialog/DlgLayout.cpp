#include "dialog/DlgLayout.h"

#include <cmath>

namespace orvex {
namespace {

constexpr int kRegisterRowHeight = 40;
constexpr int kShortRowHeight = 20;
constexpr int kValueRowHeight = 40;

// Integer square root rounded up; exact for every int.
int CeilSqrt(int n) {
  if (n <= 0) return 0;
  int root = static_cast<int>(std::sqrt(static_cast<double>(n)));
  while (static_cast<long long>(root) * root > n) --root;
  while (static_cast<long long>(root) * root < n) ++root;
  return root;
}

}  // namespace

unsigned MapBitCount(const _Map* map) {
  if (!map) return 0;
  unsigned bits = 0;
  for (const regEntry* entry = map->regEntries; entry; entry = entry->next)
    bits += static_cast<unsigned>(__builtin_popcount(entry->mask));
  return bits;
}

int EstimateDialogHeight(const _RegDesc* desc) {
  int height = kRegisterRowHeight;
  if (!desc || !desc->maps) return height;
  for (unsigned i = 0; i < desc->mapCount; ++i) {
    const _Map& map = desc->maps[i];
    if (map.enumEntries || MapBitCount(&map) == 1)
      height += kShortRowHeight;
    else
      height += kValueRowHeight;
  }
  return height;
}

DialogGeometry ComputeDialogGeometry(int estimatedHeight) {
  DialogGeometry geometry{};
  geometry.columns = CeilSqrt(6 * estimatedHeight / 750);
  if (geometry.columns < 1) geometry.columns = 1;
  geometry.columnHeight = estimatedHeight / geometry.columns;
  geometry.width = geometry.columns * kColumnWidth + 60;
  geometry.height = geometry.columnHeight + 190;
  return geometry;
}

}  // namespace orvex
