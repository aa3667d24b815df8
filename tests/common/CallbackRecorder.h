// Captures every message the library sends through its callback.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Orvex.h"

namespace orvex_test {

struct Message {
  QV_Handle handle;
  uint32_t kind;
  uint32_t value;
  std::string text;
  bool hasText;
};

// Installs itself as the library's callback for its lifetime and restores the
// previous one afterwards. Optionally forwards to the default callback.
class CallbackRecorder {
 public:
  explicit CallbackRecorder(bool chainToDefault = false);
  ~CallbackRecorder();

  const std::vector<Message>& messages() const { return messages_; }
  void clear() { messages_.clear(); }
  // Messages of kind 1 only, as their texts.
  std::vector<std::string> texts() const;
  bool contains(uint32_t kind, uint32_t value, const std::string& text) const;
  size_t count(uint32_t kind) const;

 private:
  static int32_t Callback(QV_Handle handle, uint32_t kind, uint32_t value, const char* text);
  std::vector<Message> messages_;
  QV_Callback previous_;
  bool chain_;
  CallbackRecorder* outer_;
};

}  // namespace orvex_test
