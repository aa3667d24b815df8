// Descriptions and register and map access through a handle.
#include "Orvex.h"
#include "core/ExportGuard.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "desc/MapAccess.h"

using namespace orvex;

namespace {

// The register image covers the described addresses only; an access beyond it
// is refused rather than sent to a register nobody described.
bool IsDescribedRegister(const CPelCam& camera, uint8_t address, const char* function) {
  if (address < camera.RegisterCount()) return true;
  ReportText(camera.Handle(), QV_MSG_VALUE(QV_CAT_PROTOCOL, QV_LEVEL_WARNING),
             "%s(): register 0x%02x is not in the register description", function, address);
  return false;
}

}  // namespace

extern "C" {

QV_API _SysDesc* QV_GetSysDesc(QV_Handle handle) {
  return Guarded("QV_GetSysDesc", static_cast<_SysDesc*>(nullptr), [&]() -> _SysDesc* {
    CPelSys* system = CheckHandle(handle);
    return system ? system->sysDesc.get() : nullptr;
  });
}

QV_API _RegDesc* QV_GetRegDesc(QV_Handle handle) {
  return Guarded("QV_GetRegDesc", static_cast<_RegDesc*>(nullptr), [&]() -> _RegDesc* {
    CPelSys* system = CheckHandle(handle);
    return system ? system->camera->regDesc.get() : nullptr;
  });
}

QV_API int32_t QV_SetReg(QV_Handle handle, uint8_t address, uint8_t value) {
  return Guarded("QV_SetReg", int32_t{-1}, [&]() -> int32_t {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    if (!IsDescribedRegister(*system->camera, address, "QV_SetReg")) return -1;
    return system->camera->SetReg(address, value);
  });
}

QV_API uint8_t QV_GetReg(QV_Handle handle, uint8_t address) {
  return Guarded("QV_GetReg", uint8_t{0xFF}, [&]() -> uint8_t {
    CPelSys* system = CheckHandle(handle);
    if (!system) return 0xFF;
    if (!IsDescribedRegister(*system->camera, address, "QV_GetReg")) return 0xFF;
    return system->camera->GetReg(address);
  });
}

QV_API int32_t QV_SetMap(QV_Handle handle, _Map* map, uint32_t value) {
  return Guarded("QV_SetMap", int32_t{-1}, [&]() -> int32_t {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    return SetMapValue(*system->camera, map, value);
  });
}

QV_API uint32_t QV_GetMap(QV_Handle handle, _Map* map) {
  return Guarded("QV_GetMap", uint32_t{0xFFFFFFFF}, [&]() -> uint32_t {
    CPelSys* system = CheckHandle(handle);
    if (!system) return 0xFFFFFFFF;
    return GetMapValue(*system->camera, map);
  });
}

}  // extern "C"
