#include "labview/MessageStore.h"

#include <cstring>
#include <mutex>

#include "core/Messages.h"

namespace orvex::lv {
namespace {

// Plain storage without a destructor: systems closed while the library
// unloads may still report into it.
StoredMessage g_store;
bool g_created = false;
std::mutex g_storeLock;

}  // namespace

void ResetMessageStore() {
  std::lock_guard<std::mutex> lock(g_storeLock);
  g_store = StoredMessage{};
  g_created = true;
}

bool TakeStoredMessage(const std::function<bool(const StoredMessage&)>& wanted, StoredMessage& taken) {
  std::lock_guard<std::mutex> lock(g_storeLock);
  if (!g_created || g_store.Empty() || !wanted(g_store)) return false;
  taken = g_store;
  g_store = StoredMessage{};
  return true;
}

int32_t LabViewCallback(QV_Handle handle, uint32_t kind, uint32_t value, const char* text) {
  if (kind != QV_MSG_TEXT) return DefaultCallback(handle, kind, value, text);
  const char* source = text ? text : "";
  size_t length = strnlen(source, kStoredTextMax);
  std::lock_guard<std::mutex> lock(g_storeLock);
  g_created = true;
  g_store.handle = handle;
  std::memcpy(g_store.text, source, length);
  g_store.text[length] = '\0';
  return 0;
}

}  // namespace orvex::lv
