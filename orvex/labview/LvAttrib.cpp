// LV_SetAttrib and LV_GetAttrib: maps and registers by name from LabVIEW texts.
#include <string>

#include "OrvexLabVIEW.h"
#include "core/ExportGuard.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "desc/MapAccess.h"
#include "desc/NameLookup.h"
#include "labview/AttribText.h"

namespace orvex::lv {
namespace {

constexpr int32_t kSyntaxError = -2;

// Maps first, then registers; false when neither has the name.
bool WriteByName(CPelCam& camera, const std::string& name, int32_t value) {
  if (const _Map* map = FindMap(camera.regDesc.get(), name.c_str())) {
    SetMapValue(camera, map, static_cast<uint32_t>(value));
    return true;
  }
  if (const _Reg* reg = FindReg(camera.regDesc.get(), name.c_str())) {
    camera.SetReg(reg->num, static_cast<uint8_t>(value));
    return true;
  }
  return false;
}

int32_t SetAttributes(CPelSys& system, const char* text) {
  AttribTextReader reader(text);
  int32_t count = 0;
  for (;;) {
    switch (reader.Next()) {
      case AttribStep::End:
        return count;
      case AttribStep::NotANumber:
        ReportText(&system, kMsgLabViewWarning, "Parsing Error of string:\n%s", reader.rest());
        return kSyntaxError;
      case AttribStep::Pair:
        if (WriteByName(*system.camera, reader.name(), reader.value())) {
          ++count;
        } else {
          ReportText(&system, kMsgLabViewWarning, "Could not find Register or Map called %s\n%s=%i",
                     reader.name().c_str(), reader.name().c_str(), reader.value());
        }
        break;
    }
  }
}

int32_t GetAttribute(CPelSys& system, const char* text) {
  std::string name = LeadingAttribName(text);
  if (name.empty()) return -1;
  CPelCam& camera = *system.camera;
  if (const _Map* map = FindMap(camera.regDesc.get(), name.c_str()))
    return static_cast<int32_t>(GetMapValue(camera, map));
  if (const _Reg* reg = FindReg(camera.regDesc.get(), name.c_str())) return camera.GetReg(reg->num);
  ReportText(&system, kMsgLabViewWarning, "Could not find Register or Map called %s", name.c_str());
  return 0;
}

}  // namespace
}  // namespace orvex::lv

using namespace orvex;

extern "C" {

QV_API int32_t LV_SetAttrib(QV_Handle handle, int32_t selector, const char* attributes) {
  return Guarded("LV_SetAttrib", int32_t{-1}, [&]() -> int32_t {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    if (selector != 0 || !attributes || !*attributes) return 0;
    return lv::SetAttributes(*system, attributes);
  });
}

QV_API int32_t LV_GetAttrib(QV_Handle handle, int32_t selector, const char* name) {
  return Guarded("LV_GetAttrib", int32_t{-1}, [&]() -> int32_t {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    if (selector != 0) return 0;
    return lv::GetAttribute(*system, name);
  });
}

}  // extern "C"
