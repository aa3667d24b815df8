// LV_Init and LV_ErrHandling: the library's messages as LabVIEW error clusters.
#include <cstring>
#include <string>

#include "OrvexLabVIEW.h"
#include "core/ExportGuard.h"
#include "core/Messages.h"
#include "core/SystemList.h"
#include "labview/LvArray.h"
#include "labview/LvRuntime.h"
#include "labview/MessageStore.h"

namespace orvex::lv {
namespace {

constexpr int32_t kLibraryErrorCode = 5000;

bool BelongsTo(const StoredMessage& message, QV_Handle handle) {
  return message.handle == nullptr || message.handle == handle;
}

std::string ErrorSource(const char* prefix, const char* text) {
  std::string source;
  if (prefix) source.append(prefix).append(":\n");
  source.append(text).append("\n");
  return source;
}

// The string handle lives in the caller's cluster, so a null one may be
// created here and still reach the caller.
LV_MgErr WriteString(LV_StringHandle* target, const std::string& text) {
  auto** handle = reinterpret_cast<LV_Handle*>(target);
  LV_MgErr result = NumericArrayResize(LV_TYPE_U8, 1, handle, text.size() + 1);
  if (result != kNoErr) return result;
  if (!*target || !**target) return kFullErr;
  LV_String* string = **target;
  std::memcpy(string->str, text.c_str(), text.size() + 1);
  string->cnt = static_cast<int32_t>(text.size());
  return kNoErr;
}

}  // namespace
}  // namespace orvex::lv

using namespace orvex;

extern "C" {

QV_API int32_t LV_Init(void) {
  return Guarded("LV_Init", int32_t{-1}, [] {
    CloseAllSystems();
    lv::ResetMessageStore();
    InstallCallback(&lv::LabViewCallback);
    return int32_t{0};
  });
}

// The handle is only compared, never checked: a message without a system
// (the failed open) must stay collectable, and an "Illegal Handle!" report
// would overwrite the very message asked for.
QV_API int32_t LV_ErrHandling(LV_ErrorCluster* error, QV_Handle handle, const char* prefix) {
  return Guarded("LV_ErrHandling", int32_t{lv::kArgErr}, [&]() -> int32_t {
    bool belongs = false;
    // Without a cluster the message stays for a later call that brings one.
    auto wanted = [&](const lv::StoredMessage& stored) {
      belongs = lv::BelongsTo(stored, handle);
      return belongs && error;
    };
    lv::StoredMessage message;
    if (!lv::TakeStoredMessage(wanted, message)) return belongs ? lv::kArgErr : lv::kNoErr;
    error->status = 1;
    error->code = lv::kLibraryErrorCode;
    return lv::WriteString(&error->source, lv::ErrorSource(prefix, message.text));
  });
}

}  // extern "C"
