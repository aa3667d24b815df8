#include "acq/CamDataRecord.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

// The frame header is the camera's wire format; applications and the helper
// library read its fields at these byte offsets.
static_assert(offsetof(CamDataHdr, syncWord) == 2, "syncWord");
static_assert(offsetof(CamDataHdr, zTags) == 32, "zTags");
static_assert(offsetof(CamDataHdr, tmpOptics) == 2016, "tmpOptics");
static_assert(offsetof(CamDataHdr, frmDur) == 2020, "frmDur");
static_assert(offsetof(CamDataHdr, scanDur) == 2024, "scanDur");
static_assert(offsetof(CamDataHdr, timeStamp) == 2032, "timeStamp");
static_assert(offsetof(CamDataHdr, nFrames) == 2040, "nFrames");
static_assert(offsetof(CamDataHdr, nVolume) == 2044, "nVolume");

namespace orvex {
namespace {
constexpr size_t kHeaderBytes = (sizeof(_CamData) + 15) & ~size_t{15};
}

_CamData* CreateCamData(uint32_t mode, uint16_t flags, uint32_t size, void* externalBuffer) {
  bool external = (flags & QV_CD_EXTERNAL) != 0;
  size_t total = kHeaderBytes + (external ? 0 : size_t{size});
  auto* record = static_cast<_CamData*>(std::calloc(1, total));
  if (!record) return nullptr;
  record->size = size;
  record->mode = mode;
  record->flags = flags;
  record->refCount = 1;
  record->data = external ? externalBuffer : reinterpret_cast<uint8_t*>(record) + kHeaderBytes;
  return record;
}

bool ReleaseCamData(_CamData* record) {
  if (!record) return false;
  if (record->refCount <= 1) {
    std::free(record);
    return true;
  }
  --record->refCount;
  return false;
}

}  // namespace orvex
