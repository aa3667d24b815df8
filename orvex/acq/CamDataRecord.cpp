#include "acq/CamDataRecord.h"

#include <cstdlib>
#include <cstring>

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
