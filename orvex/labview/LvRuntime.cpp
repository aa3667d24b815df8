#include "labview/LvRuntime.h"

#include <dlfcn.h>

#include <mutex>

#include "core/Messages.h"

namespace orvex::lv {
namespace {

using ResizeFunction = LV_MgErr (*)(int32_t, int32_t, LV_Handle*, size_t);
using HandleSizeFunction = int32_t (*)(LV_Handle);

struct Runtime {
  ResizeFunction resize = nullptr;
  HandleSizeFunction handleSize = nullptr;
  bool Bound() const { return resize && handleSize; }
};

// LabVIEW calls in from several threads of its own; the first binding and
// SetLVRTModule must not tear the pair apart.
void* g_module = nullptr;
Runtime g_runtime;
std::mutex g_runtimeLock;

// The platform's LabVIEW run-time libraries, full run-time first.
constexpr const char* kRuntimeLibraries[] = {"liblvrt.so", "liblvffrt.so"};

Runtime LookUpIn(void* module) {
  Runtime runtime;
  runtime.resize = reinterpret_cast<ResizeFunction>(dlsym(module, "NumericArrayResize"));
  runtime.handleSize = reinterpret_cast<HandleSizeFunction>(dlsym(module, "DSGetHandleSize"));
  return runtime;
}

// Inside LabVIEW the functions are already in the process; their presence is
// told by one of LabVIEW's own exports.
bool ProcessIsLabView() {
  return dlsym(RTLD_DEFAULT, "gLVRTVersion") != nullptr || dlsym(RTLD_DEFAULT, "AZNewHandle") != nullptr;
}

Runtime LookUp() {
  if (g_module) return LookUpIn(g_module);
  if (ProcessIsLabView()) return LookUpIn(RTLD_DEFAULT);
  for (const char* library : kRuntimeLibraries) {
    // Kept loaded for the life of the process: the bound functions point into it.
    void* module = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!module) continue;
    Runtime runtime = LookUpIn(module);
    if (runtime.Bound()) return runtime;
    dlclose(module);
  }
  return {};
}

// A process without LabVIEW must keep running: every call that needs the
// run-time reports and fails instead.
Runtime Bind() {
  {
    std::lock_guard<std::mutex> lock(g_runtimeLock);
    if (!g_runtime.Bound()) g_runtime = LookUp();
    if (g_runtime.Bound()) return g_runtime;
  }
  ReportText(nullptr, kMsgLabViewWarning,
             "LV_RT: LabVIEW run-time not found (NumericArrayResize, DSGetHandleSize); call SetLVRTModule");
  return {};
}

}  // namespace

void SetRuntimeModule(void* module) {
  std::lock_guard<std::mutex> lock(g_runtimeLock);
  g_module = module;
  g_runtime = {};
}

LV_MgErr NumericArrayResize(int32_t typeCode, int32_t numDims, LV_Handle* handle, size_t elements) {
  const Runtime runtime = Bind();
  return runtime.Bound() ? runtime.resize(typeCode, numDims, handle, elements) : kNotSupported;
}

int32_t GetHandleSize(LV_Handle handle) {
  const Runtime runtime = Bind();
  return runtime.Bound() ? runtime.handleSize(handle) : -1;
}

}  // namespace orvex::lv

extern "C" QV_API void SetLVRTModule(void* module) { orvex::lv::SetRuntimeModule(module); }
