#include "core/PelCam.h"

#include "core/PelSys.h"

void CPelCam::SizeRegisterImage(size_t n) {
  regImage.assign(n, 0);
  regAttr.assign(n, 0);
}

void CPelCam::MarkRegisterAttributes() {
  if (!regDesc) return;
  for (uint16_t i = 0; i < regDesc->mapCount; ++i) {
    const _Map& map = regDesc->maps[i];
    if (!map.mode) continue;
    for (const regEntry* entry = map.regEntries; entry; entry = entry->next)
      if (entry->reg && entry->reg->num < regAttr.size()) regAttr[entry->reg->num] |= map.mode;
  }
}

const _SysDesc* CPelCam::SysDesc() const { return owner ? owner->sysDesc.get() : nullptr; }
