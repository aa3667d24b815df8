// QV_Open: the entry to every system.
#include "Orvex.h"
#include "api/ExportGuard.h"
#include "api/Factory.h"

using namespace orvex;

extern "C" {

QV_API int32_t QV_Open(QV_Handle* handle, uint32_t mode, const char* openString) {
  if (handle) *handle = nullptr;
  // Without a place for the handle the system could never be closed.
  if (!handle) return 0;
  return Guarded("QV_Open", int32_t{0}, [&]() -> int32_t {
    CPelSys* system = nullptr;
    switch (mode) {
      case QV_OPEN_USB:
      case QV_OPEN_USB_NO_FPGA: system = CFactory::OpenDevice(openString, mode); break;
      case QV_OPEN_STREAM: system = CFactory::OpenStream(openString); break;
      default: return 0;
    }
    *handle = system;
    return system ? 1 : 0;
  });
}

}  // extern "C"
