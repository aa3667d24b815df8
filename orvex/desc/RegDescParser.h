// Register description files: registers, maps, their register entries and
// enumerations, built into one self-contained _RegDesc record.
#pragma once

#include <cstdint>
#include <ostream>

#include "Orvex.h"
#include "core/PelCam.h"
#include "desc/DescDoc.h"

namespace orvex {

// Diagnostics flags of the builder.
constexpr uint8_t kRegDumpElemAttrStruct = 1;
constexpr uint8_t kRegDumpTree = 2;
constexpr uint8_t kRegVbCntTree = 4;
constexpr uint8_t kRegVbCnt = 8;
constexpr uint8_t kRegVbTreeParse = 16;

class CRegDescParser : public CDescDoc {
 public:
  // Objects counted by the count pass, then handed out by the build pass.
  uint16_t regCount = 0;
  uint16_t mapCount = 0;
  uint16_t entryCount = 0;
  uint16_t enumCount = 0;
  uint32_t textBytes = 0;
};

// Never fails: problems are written to `out` and the element concerned is
// taken as far as it could be read. A Lnk to a register not defined before it
// creates no entry, so every entry of the record refers to a register.
BlockPtr<_RegDesc> BuildRegDesc(CRegDescParser& parser, uint8_t flags, std::ostream& out);

// The mask selects nothing yet: the whole record is listed.
void DumpRegDesc(uint32_t sections, std::ostream& out, const _RegDesc* desc);

// "???" + space, "ENUM", "MULT", "MASK" or "SMPL".
const char* MapKind(const _Map& map);

// Mode letters v, r, a, h -> 1, 2, 4, 8; cammode digits 0-7 -> bit (1 << digit).
uint8_t ModeFlags(const char* letters);
uint8_t CamModeBits(const char* digits);

}  // namespace orvex
