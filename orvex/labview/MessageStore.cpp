#include "labview/MessageStore.h"

#include <cstring>

#include "core/Messages.h"

namespace orvex::lv {
namespace {

// Plain storage without a destructor: systems closed while the library
// unloads may still report into it.
StoredMessage g_store;
bool g_created = false;

}  // namespace

void ResetMessageStore() {
  g_store = StoredMessage{};
  g_created = true;
}

StoredMessage* MessageStore() { return g_created ? &g_store : nullptr; }

int32_t LabViewCallback(QV_Handle handle, uint32_t kind, uint32_t value, const char* text) {
  if (kind != QV_MSG_TEXT) return DefaultCallback(handle, kind, value, text);
  if (!g_created) ResetMessageStore();
  g_store.handle = handle;
  const char* source = text ? text : "";
  size_t length = strnlen(source, kStoredTextMax);
  std::memcpy(g_store.text, source, length);
  g_store.text[length] = '\0';
  return 0;
}

}  // namespace orvex::lv
