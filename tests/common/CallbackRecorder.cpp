#include "common/CallbackRecorder.h"

namespace orvex_test {
namespace {
CallbackRecorder* g_active = nullptr;
}

CallbackRecorder::CallbackRecorder(bool chainToDefault) : chain_(chainToDefault), outer_(g_active) {
  g_active = this;
  previous_ = QV_SetCallback(&CallbackRecorder::Callback);
}

CallbackRecorder::~CallbackRecorder() {
  QV_SetCallback(previous_);
  g_active = outer_;
}

int32_t CallbackRecorder::Callback(QV_Handle handle, uint32_t kind, uint32_t value, const char* text) {
  if (!g_active) return 0;
  g_active->messages_.push_back({handle, kind, value, text ? text : "", text != nullptr});
  if (g_active->chain_) QV_GetDefaultCallback()(handle, kind, value, text);
  return 0;
}

std::vector<std::string> CallbackRecorder::texts() const {
  std::vector<std::string> out;
  for (const Message& m : messages_)
    if (m.kind == QV_MSG_TEXT) out.push_back(m.text);
  return out;
}

bool CallbackRecorder::contains(uint32_t kind, uint32_t value, const std::string& text) const {
  for (const Message& m : messages_)
    if (m.kind == kind && m.value == value && m.text == text) return true;
  return false;
}

size_t CallbackRecorder::count(uint32_t kind) const {
  size_t n = 0;
  for (const Message& m : messages_)
    if (m.kind == kind) ++n;
  return n;
}

}  // namespace orvex_test
