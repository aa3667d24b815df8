// LabVIEW attribute texts (LV_SetAttrib, LV_GetAttrib) on a system with a
// small register description in memory.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "Orvex.h"
#include "common/MemorySystem.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "labview/AttribText.h"

namespace {

_Reg g_regs[] = {{0x03, "CamModeCtrl", nullptr}, {0x10, "SensNFramesLo", nullptr}, {0x11, "SensNFramesHi", nullptr},
                 {0x30, "Gain", nullptr}};
regEntry g_framesHi = {-8, 0x07, &g_regs[2], nullptr};
regEntry g_framesLo = {0, 0xFF, &g_regs[1], &g_framesHi};
regEntry g_camMode = {0, 0x07, &g_regs[0], nullptr};
_Map g_maps[] = {{"CamMode", nullptr, 0, &g_camMode, nullptr, nullptr, 0, 0, 7, 0, 0},
                 {"SensNFrames", nullptr, 0, &g_framesLo, nullptr, nullptr, 0, 1, 2047, 0, 0}};

int32_t Silent(QV_Handle, uint32_t, uint32_t, const char*) { return 0; }

QV_Handle System() {
  static QV_Handle handle = [] {
    QV_SetCallback(&Silent);
    auto* desc = static_cast<_RegDesc*>(std::calloc(1, sizeof(_RegDesc)));
    *desc = _RegDesc{4, g_regs, 2, g_maps};
    return orvex_test::OpenMemorySystem("", 0x40, orvex::BlockPtr<_RegDesc>(desc));
  }();
  return handle;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);  // LabVIEW hands over C strings
  QV_Handle system = System();
  int32_t count = LV_SetAttrib(system, 0, text.c_str());
  if (count < -2 || count > static_cast<int32_t>(text.size())) std::abort();
  LV_GetAttrib(system, 0, text.c_str());
  orvex::lv::AttribTextReader reader(text.c_str());
  for (size_t pairs = 0; reader.Next() == orvex::lv::AttribStep::Pair; ++pairs)
    if (reader.name().size() > orvex::lv::kAttribNameMax || pairs > text.size()) std::abort();
  return 0;
}
