// LV_Test: lets a LabVIEW program check that arrays of every shape and type
// come back the way it expects.
#include "OrvexLabVIEW.h"
#include "core/ExportGuard.h"
#include "labview/LvArray.h"
#include "labview/LvRuntime.h"

using namespace orvex;

extern "C" QV_API int32_t LV_Test(const LV_TestRequest* request, LV_Handle array) {
  return Guarded("LV_Test", int32_t{lv::kArgErr}, [&]() -> int32_t {
    if (!request) return lv::kArgErr;
    auto type = static_cast<int32_t>(request->typeCode);
    switch (request->numDim) {
      case 1: return lv::ResizeArray(array, type, {8});
      case 2: return lv::ResizeArray(array, type, {7, 8});
      case 3: return lv::ResizeArray(array, type, {6, 7, 8});
      case 4: return lv::ResizeArray(array, type, {5, 6, 7, 8});
      default: return lv::kArgErr;  // no such test shape: the array stays as it is
    }
  });
}
