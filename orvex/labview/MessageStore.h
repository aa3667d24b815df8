// The LabVIEW message store: the last text message and the system it came
// from, kept until LV_ErrHandling collects it. Messages may arrive from
// several threads at once; every access copies under the store's lock.
#pragma once

#include <cstdint>
#include <functional>

#include "Orvex.h"

namespace orvex::lv {

constexpr size_t kStoredTextMax = 255;

struct StoredMessage {
  QV_Handle handle = nullptr;
  char text[kStoredTextMax + 1] = {};
  bool Empty() const { return text[0] == '\0'; }
};

// Creates (or recreates) the empty store.
void ResetMessageStore();

// Hands out the stored message and empties the store when wanted accepts it;
// false (store unchanged) when the store is empty, not created yet (before the
// first LV_Init) or the message is not wanted. One caller wins a message.
bool TakeStoredMessage(const std::function<bool(const StoredMessage&)>& wanted, StoredMessage& taken);

// Installed as the library's callback by LV_Init: text messages go into the
// store, everything else to the default callback.
int32_t LabViewCallback(QV_Handle handle, uint32_t kind, uint32_t value, const char* text);

}  // namespace orvex::lv
