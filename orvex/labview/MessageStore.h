// The LabVIEW message store: the last text message and the system it came
// from, kept until LV_ErrHandling collects it.
#pragma once

#include <cstdint>

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
// Null before the first LV_Init.
StoredMessage* MessageStore();

// Installed as the library's callback by LV_Init: text messages go into the
// store, everything else to the default callback.
int32_t LabViewCallback(QV_Handle handle, uint32_t kind, uint32_t value, const char* text);

}  // namespace orvex::lv
