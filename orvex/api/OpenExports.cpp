// QV_Open: the entry to every system.
#include "Orvex.h"
#include "core/ExportGuard.h"
#include "api/Factory.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

using namespace orvex;

namespace {

CPelSys* LastOpenSystem() {
  CPelSys* last = FirstOpenSystem();
  while (last && last->next) last = last->next;
  return last;
}

// An open that ends by an exception has not handed out what it built so far:
// close every system appended behind `last` (all of them when it is null).
void CloseSystemsAfter(CPelSys* last) {
  CPelSys* system = last ? last->next : FirstOpenSystem();
  while (system) {
    CPelSys* next = system->next;
    CloseSystem(system);
    system = next;
  }
}

CPelSys* OpenForMode(uint32_t mode, const char* openString) {
  switch (mode) {
    case QV_OPEN_USB:
    case QV_OPEN_USB_NO_FPGA: return CFactory::OpenDevice(openString, mode);
    case QV_OPEN_STREAM: return CFactory::OpenStream(openString);
    default: return nullptr;
  }
}

}  // namespace

extern "C" {

QV_API int32_t QV_Open(QV_Handle* handle, uint32_t mode, const char* openString) {
  if (handle) *handle = nullptr;
  // Without a place for the handle the system could never be closed.
  if (!handle) return 0;
  return Guarded("QV_Open", int32_t{0}, [&]() -> int32_t {
    CPelSys* last = LastOpenSystem();
    CPelSys* system = nullptr;
    try {
      system = OpenForMode(mode, openString);
    } catch (...) {
      CloseSystemsAfter(last);
      throw;
    }
    *handle = system;
    return system ? 1 : 0;
  });
}

}  // extern "C"
