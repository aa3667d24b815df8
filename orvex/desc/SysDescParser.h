// The system description ("SysDesc.xml"): finding the selected system and
// assembling its self-contained _SysDesc record.
#pragma once

#include <cstdint>
#include <ostream>

#include "Orvex.h"
#include "core/PelCam.h"
#include "desc/DescDoc.h"

namespace orvex {

// Diagnostics flags of the finder.
constexpr uint8_t kSysDumpElemAttrStruct = 1;
constexpr uint8_t kSysDumpTree = 2;
constexpr uint8_t kSysVpFind = 4;
constexpr uint8_t kSysVbParseObj = 8;

// The parts a System ties together, in the order of the open selection.
enum SysPart { kPartSystem, kPartFpga, kPartSensor, kPartUsb, kPartEth, kPartMotion, kPartCount };

extern const char* const kFpgaFeatureNames[23];
extern const char* const kUsbFeatureNames[5];

class CSysDescParser : public CDescDoc {
 public:
  // Clears the open selection, the matched elements and the staging values.
  void ClearSelection();

  // Wanted ids (absent or owned by the caller until FindSystem returns).
  const char* wanted[kPartCount] = {};
  pugi::xml_node matched[kPartCount];

  _FpgaDesc fpga{};
  _SensorDesc sensor{};
  _UsbDesc usb{};
  _EthDesc eth{};
  _MotionDesc motion{};

  uint8_t flags = 0;
  std::ostream* out = nullptr;
};

// Never fails: parts that cannot be matched are absent in the record.
BlockPtr<_SysDesc> FindSystem(CSysDescParser& parser, uint8_t flags, std::ostream& out);

// The mask selects nothing yet: the whole record is listed.
void DumpSysDesc(uint32_t sections, std::ostream& out, const _SysDesc* desc);

}  // namespace orvex
