// QV_Open: the entry to every system.
#include "Orvex.h"
#include "core/ExportGuard.h"
#include "api/Factory.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

using namespace orvex;

namespace {

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
    // An open that ends by an exception has not handed out what it built so
    // far; other threads' systems opened meanwhile stay untouched.
    OpenTransaction open;
    CPelSys* system = nullptr;
    try {
      system = OpenForMode(mode, openString);
    } catch (...) {
      open.CloseAppended();
      throw;
    }
    *handle = system;
    return system ? 1 : 0;
  });
}

}  // extern "C"
