// Exported stream-file functions.
#include "Orvex.h"
#include "acq/StreamCommands.h"
#include "core/ExportGuard.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

using namespace orvex;

extern "C" {

QV_API int32_t QV_CreateStreamFile(QV_Handle handle, const char* path) {
  return Guarded("QV_CreateStreamFile", int32_t{-1}, [&] {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    return RunStreamCommand(*system->camera, path ? 0 : 1, 0, const_cast<char*>(path));
  });
}

QV_API int32_t QV_FileStreamCmd(QV_Handle handle, uint32_t command, uint32_t argument, void* parameter) {
  return Guarded("QV_FileStreamCmd", int32_t{-1}, [&] {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    return RunStreamCommand(*system->camera, command, argument, parameter);
  });
}

}  // extern "C"
