#include "LvrtStandin.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Every block is preceded by its byte count; the prefix keeps the block
// 16-byte aligned, so element alignment only depends on the extents' padding.
constexpr size_t kPrefix = 16;

int32_t g_successesLeft = -1;
int32_t g_resizeCount = 0;
int32_t g_shortenBy = 0;

size_t ElementSize(int32_t typeCode) {
  switch (typeCode) {
    case 1: case 5: return 1;   // int8, uint8
    case 2: case 6: return 2;   // int16, uint16
    case 3: case 7: case 9: return 4;  // int32, uint32, float32
    case 4: case 8: case 10: return 8; // int64, uint64, float64
    default: return 0;
  }
}

size_t ElementOffset(int32_t numDims, size_t elementSize) {
  size_t offset = static_cast<size_t>(numDims) * sizeof(int32_t);
  if (sizeof(void*) == 8 && elementSize == 8) offset = (offset + 7) & ~size_t{7};
  return offset;
}

uint8_t* RawOf(void* block) { return static_cast<uint8_t*>(block) - kPrefix; }

size_t BlockSize(void* block) {
  size_t size;
  std::memcpy(&size, RawOf(block), sizeof size);
  return size;
}

// Resizes (or creates) the block behind *cell; the cell is updated, the
// handle that points to it stays valid. New bytes are zero.
bool SetBlockSize(void** cell, size_t size) {
  if (size > std::numeric_limits<size_t>::max() - kPrefix) return false;
  uint8_t* oldRaw = *cell ? RawOf(*cell) : nullptr;
  size_t oldSize = *cell ? BlockSize(*cell) : 0;
  auto* raw = static_cast<uint8_t*>(std::realloc(oldRaw, kPrefix + size));
  if (!raw) return false;
  if (size > oldSize) std::memset(raw + kPrefix + oldSize, 0, size - oldSize);
  std::memcpy(raw, &size, sizeof size);
  *cell = raw + kPrefix;
  return true;
}

bool ResizeAllowed() {
  ++g_resizeCount;
  if (g_successesLeft < 0) return true;
  if (g_successesLeft == 0) return false;
  --g_successesLeft;
  return true;
}

}  // namespace

extern "C" {

LVRT_API UHandle DSNewHandle(size_t size) {
  auto handle = static_cast<UHandle>(std::calloc(1, sizeof(void*)));
  if (!handle) return nullptr;
  if (!SetBlockSize(handle, size)) {
    std::free(handle);
    return nullptr;
  }
  return handle;
}

LVRT_API UHandle AZNewHandle(size_t size) { return DSNewHandle(size); }

LVRT_API MgErr DSDisposeHandle(UHandle handle) {
  if (!handle) return LVRT_ARG_ERR;
  if (*handle) std::free(RawOf(*handle));
  std::free(handle);
  return LVRT_NO_ERR;
}

LVRT_API int32_t DSGetHandleSize(UHandle handle) {
  if (!handle || !*handle) return 0;
  size_t size = BlockSize(*handle);
  size = size > static_cast<size_t>(g_shortenBy) ? size - g_shortenBy : 0;
  return size > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                         : static_cast<int32_t>(size);
}

LVRT_API MgErr NumericArrayResize(int32_t typeCode, int32_t numDims, UHandle* dataHP, size_t totalNewSize) {
  size_t elementSize = ElementSize(typeCode);
  if (!dataHP || elementSize == 0 || numDims < 1 || numDims > 64) return LVRT_ARG_ERR;
  if (!ResizeAllowed()) return LVRT_FULL_ERR;
  size_t offset = ElementOffset(numDims, elementSize);
  if (totalNewSize > (std::numeric_limits<int32_t>::max() - offset) / elementSize) return LVRT_FULL_ERR;
  size_t bytes = offset + totalNewSize * elementSize;
  if (!*dataHP) {
    UHandle handle = DSNewHandle(bytes);
    if (!handle) return LVRT_FULL_ERR;
    *dataHP = handle;
    return LVRT_NO_ERR;
  }
  return SetBlockSize(*dataHP, bytes) ? LVRT_NO_ERR : LVRT_FULL_ERR;
}

LVRT_API void LvrtStandin_FailResizesAfter(int32_t successes) { g_successesLeft = successes < 0 ? -1 : successes; }

LVRT_API void LvrtStandin_ShortenHandleSizes(int32_t bytes) { g_shortenBy = bytes > 0 ? bytes : 0; }

LVRT_API int32_t LvrtStandin_ResizeCount(void) { return g_resizeCount; }

LVRT_API void LvrtStandin_ResetResizeCount(void) { g_resizeCount = 0; }

}  // extern "C"
