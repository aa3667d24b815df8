// In-memory register descriptions for the dialog tests, laid out as the
// description parser leaves them (arrays of registers and maps, linked entries).
#pragma once

#include <deque>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Orvex.h"

namespace orvex_test {

class DescBuilder {
 public:
  DescBuilder() {
    // Reserved once so that the arrays handed out never move.
    regs_.reserve(256);
    maps_.reserve(4096);
  }
  void AddReg(uint8_t num, const char* id) { regs_.push_back(_Reg{num, id, ""}); }
  // Entries are (register index, mask, shift); enumeration (value, name).
  _Map& AddMap(const char* id, std::vector<std::tuple<size_t, uint8_t, int8_t>> entries,
               std::vector<std::pair<int32_t, const char*>> enums = {}) {
    maps_.push_back(_Map{});
    _Map& map = maps_.back();
    map.id = id;
    regEntry** link = &map.regEntries;
    for (auto& [reg, mask, shift] : entries) {
      regEntries_.push_back(regEntry{shift, mask, &regs_.at(reg), nullptr});
      *link = &regEntries_.back();
      link = &regEntries_.back().next;
    }
    enumEntry** enumLink = &map.enumEntries;
    for (auto& [value, name] : enums) {
      enumEntries_.push_back(enumEntry{value, name, nullptr});
      *enumLink = &enumEntries_.back();
      enumLink = &enumEntries_.back().next;
    }
    return map;
  }
  _RegDesc* Desc() {
    desc_ = _RegDesc{static_cast<uint16_t>(regs_.size()), regs_.data(), static_cast<uint16_t>(maps_.size()),
                     maps_.data()};
    return &desc_;
  }

 private:
  std::vector<_Reg> regs_;
  std::vector<_Map> maps_;
  std::deque<regEntry> regEntries_;
  std::deque<enumEntry> enumEntries_;
  _RegDesc desc_{};
};

// FrameMode (enumerated), Trig (one bit) and Exposure (0xFF and 0x0F: 12 bits)
// over registers Mode (0), ExpLo (1), ExpHi (2) and Gain (3).
inline _RegDesc* ExampleDesc(DescBuilder& builder) {
  builder.AddReg(0, "Mode");
  builder.AddReg(1, "ExpLo");
  builder.AddReg(2, "ExpHi");
  builder.AddReg(3, "Gain");
  builder.AddMap("FrameMode", {{0, 0x03, 0}}, {{0, "Off"}, {1, "Single"}, {2, "Continuous"}});
  builder.AddMap("Trig", {{0, 0x80, 7}});
  builder.AddMap("Exposure", {{1, 0xFF, 0}, {2, 0x0F, -8}});
  return builder.Desc();
}

}  // namespace orvex_test
