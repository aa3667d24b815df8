#include "desc/SysDescParser.h"

#include <strings.h>

#include <charconv>
#include <cstddef>
#include <cstring>
#include <iomanip>
#include <string>

namespace orvex {

const char* const kFpgaFeatureNames[23] = {
    "allow_blind_cycles", "amp_mode_high_z_bug", "amp_mode_high_z_bug_neg", "ascan_first",
    "bcd_revision_regs", "compression11to8", "datacompression", "dummy_frame_marker",
    "dynamic_frames", "extended_header", "firmware_ver_regs", "hasI2Cintf",
    "hasScanHeader", "i2c_registers", "interleaved_quarters", "iq_ascan_first_frame_blocks",
    "iqdata_in_ribbons", "manual_offset_selector", "mhtheader", "mhtheader_suppress",
    "mode_amplitude", "need_AcqStop", "needs_fpga_fw_load"};

const char* const kUsbFeatureNames[5] = {"ADC_DAC_via_command", "command_interface", "ends_packets",
                                         "hasCmdInterface", "must_load_fx2_fw"};

void CSysDescParser::ClearSelection() {
  for (int part = 0; part < kPartCount; ++part) {
    wanted[part] = nullptr;
    matched[part] = pugi::xml_node();
  }
  fpga = _FpgaDesc{};
  sensor = _SensorDesc{};
  usb = _UsbDesc{};
  eth = _EthDesc{};
  motion = _MotionDesc{};
}

// Assembly of the record lives in SysDescRecord.cpp.
BlockPtr<_SysDesc> AssembleSysDesc(const CSysDescParser& parser);

namespace {

const char* const kPartElement[kPartCount] = {"System", "FPGA", "Sensor", "USB", "ETH", "Motion"};
const char* const kSystemReference[kPartCount] = {nullptr, "fpga", "sensor", "usb", "eth", "motion"};

// ---- search --------------------------------------------------------------

void SearchWalk(CSysDescParser& parser) {
  const bool trace = parser.flags & kSysVpFind;
  std::ostream& out = *parser.out;
  WalkElements(parser.StartElement(), [&](pugi::xml_node node, int depth) {
    pugi::xml_attribute id = node.attribute("id");
    bool found = false;
    if (id) {
      // Motion parts are never searched for.
      for (int part = kPartSystem; part <= kPartEth; ++part) {
        if (parser.wanted[part] && std::strcmp(node.name(), kPartElement[part]) == 0 &&
            std::strcmp(id.value(), parser.wanted[part]) == 0) {
          parser.matched[part] = node;
          found = true;
        }
      }
    }
    if (!trace) return;
    if (found) out << std::string(25, '-') << '\n';
    Indent(out, depth);
    out << node.name();
    if (id) out << ' ' << id.value();
    if (found)
      out << " <-- Found !" << '\n' << std::string(25, '-') << '\n';
    else
      out << '\n';
  });
}

// Parts the open string left open are taken from the matched System element.
bool CompleteReferences(CSysDescParser& parser) {
  pugi::xml_node system = parser.matched[kPartSystem];
  if (!system) return false;
  bool changed = false;
  for (pugi::xml_attribute attribute = system.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    for (int part = kPartFpga; part < kPartCount; ++part) {
      if (std::strcmp(attribute.name(), kSystemReference[part]) != 0) continue;
      if (parser.wanted[part]) continue;
      parser.wanted[part] = attribute.value();
      parser.matched[part] = pugi::xml_node();
      changed = true;
    }
  }
  return changed;
}

void SearchSummary(CSysDescParser& parser) {
  static const char* const kLabels[] = {"System:", "FPGA:", "Sensor:", "USB:", "ETH:"};
  std::ostream& out = *parser.out;
  StreamFormatGuard guard(out);
  out << std::left;
  for (int part = kPartSystem; part <= kPartEth; ++part) {
    out << std::setw(10) << kLabels[part] << std::setw(13) << (parser.wanted[part] ? parser.wanted[part] : "(null)")
        << ':' << (parser.matched[part] ? "found!" : "(null)") << '\n';
  }
}

// ---- element application ---------------------------------------------------

enum class Conversion { Text, Int16, Int32, Byte };

struct FieldSpec {
  const char* name;
  Conversion conversion;
  size_t offset;
};

const FieldSpec kFpgaFields[] = {
    {"id", Conversion::Text, offsetof(_FpgaDesc, id)},
    {"regDesc", Conversion::Text, offsetof(_FpgaDesc, regDesc)},
    {"fpgaCfg", Conversion::Text, offsetof(_FpgaDesc, fpgaCfg)},
    {"verStr", Conversion::Text, offsetof(_FpgaDesc, verStr)},
    {"variant", Conversion::Text, offsetof(_FpgaDesc, variant)},
    {"numRegs", Conversion::Int16, offsetof(_FpgaDesc, numRegs)},
    {"verReg", Conversion::Int16, offsetof(_FpgaDesc, verReg)},
    {"verRegBCD", Conversion::Int32, offsetof(_FpgaDesc, verRegBCD)},
    {"frmMrk", Conversion::Int16, offsetof(_FpgaDesc, frmMrk)},
    {"maxFrm", Conversion::Int16, offsetof(_FpgaDesc, maxFrm)},
    {"maxFrmModeA", Conversion::Int16, offsetof(_FpgaDesc, maxFrmModeA)},
    {"mhtHdrSz", Conversion::Int16, offsetof(_FpgaDesc, mhtHdrSz)},
    {"zFrmBlkSz", Conversion::Int16, offsetof(_FpgaDesc, zFrmBlkSz)},
};

const FieldSpec kUsbFields[] = {
    {"id", Conversion::Text, offsetof(_UsbDesc, id)},
    {"fx2FW", Conversion::Text, offsetof(_UsbDesc, fx2FW)},
    {"variant", Conversion::Text, offsetof(_UsbDesc, variant)},
    {"verStr", Conversion::Text, offsetof(_UsbDesc, verStr)},
    {"verFx2", Conversion::Int32, offsetof(_UsbDesc, verFx2)},
    {"productID", Conversion::Int16, offsetof(_UsbDesc, productID)},
    {"vendorID", Conversion::Int16, offsetof(_UsbDesc, vendorID)},
    {"protocol", Conversion::Int32, offsetof(_UsbDesc, protocol)},
    {"config", Conversion::Byte, offsetof(_UsbDesc, config)},
    {"interface", Conversion::Byte, offsetof(_UsbDesc, iface)},
    {"epCmdRead", Conversion::Byte, offsetof(_UsbDesc, epCmdRead)},
    {"epCmdWrite", Conversion::Byte, offsetof(_UsbDesc, epCmdWrite)},
    {"epRead", Conversion::Byte, offsetof(_UsbDesc, epRead)},
    {"epWrite", Conversion::Byte, offsetof(_UsbDesc, epWrite)},
    {"dataBlockSize", Conversion::Int16, offsetof(_UsbDesc, dataBlockSize)},
};

template <class T>
void Store(void* record, size_t offset, T value) {
  std::memcpy(static_cast<char*>(record) + offset, &value, sizeof value);
}

// False when the value is no number (nothing stored then).
bool StoreField(void* record, const FieldSpec& field, const char* value) {
  if (field.conversion == Conversion::Text) {
    Store<const char*>(record, field.offset, value);
    return true;
  }
  int64_t number = 0;
  if (!ReadInteger(value, &number)) return false;
  switch (field.conversion) {
    case Conversion::Int16: Store(record, field.offset, static_cast<int16_t>(number)); break;
    case Conversion::Int32: Store(record, field.offset, static_cast<int32_t>(number)); break;
    case Conversion::Byte: Store(record, field.offset, static_cast<uint8_t>(number)); break;
    case Conversion::Text: break;
  }
  return true;
}

template <size_t N>
const FieldSpec* FindField(const FieldSpec (&fields)[N], const char* name) {
  for (const FieldSpec& field : fields)
    if (std::strcmp(field.name, name) == 0) return &field;
  return nullptr;
}

template <size_t N>
void ApplyFeatures(pugi::xml_node node, const char* const (&names)[N], const char* kindLabel, uint32_t* feature,
                   std::ostream& out) {
  for (pugi::xml_node child = FirstChildElement(node); child; child = NextSiblingElement(child)) {
    if (std::strcmp(child.name(), "Feature") != 0) continue;
    const char* id = child.attribute("id").value();
    size_t bit = 0;
    while (bit < N && std::strcmp(names[bit], id) != 0) ++bit;
    if (bit < N)
      *feature |= 1u << bit;
    else
      out << "Parse Error unknown " << kindLabel << ' ' << child.name() << ": " << id << '\n';
  }
}

void ApplyFpga(CSysDescParser& parser, pugi::xml_node node) {
  std::ostream& out = *parser.out;
  for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    const FieldSpec* field = FindField(kFpgaFields, attribute.name());
    if (!field)
      out << "Parse Error unknown fpga attribure: " << attribute.name() << '\n';
    else if (!StoreField(&parser.fpga, *field, attribute.value()))
      out << "Parse Error: " << node.name() << ' ' << attribute.name() << '=' << attribute.value() << '\n';
  }
  ApplyFeatures(node, kFpgaFeatureNames, "FPGA", &parser.fpga.feature, out);
}

void ApplyUsb(CSysDescParser& parser, pugi::xml_node node) {
  std::ostream& out = *parser.out;
  for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    const FieldSpec* field = FindField(kUsbFields, attribute.name());
    if (!field)
      out << "Parse Error unknown attribure: " << node.name() << ' ' << attribute.name() << '\n';
    else if (!StoreField(&parser.usb, *field, attribute.value()))
      out << "Parse Error: " << node.name() << ' ' << attribute.name() << '=' << attribute.value() << '\n';
  }
  ApplyFeatures(node, kUsbFeatureNames, "USB", &parser.usb.feature, out);
}

// Locale-independent "%f": the library may run inside a host with another
// decimal separator.
bool ReadFloat(const char* text, float* value, const char** end) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  if (*text == '+') ++text;
  const char* last = text + std::strlen(text);
  auto [stop, error] = std::from_chars(text, last, *value);
  if (error != std::errc() && error != std::errc::result_out_of_range) return false;
  *end = stop;
  return true;
}

int ReadFloatPair(const char* text, float values[2]) {
  const char* rest = text;
  if (!ReadFloat(rest, &values[0], &rest)) return 0;
  return ReadFloat(rest, &values[1], &rest) ? 2 : 1;
}

int ReadInt16Pair(const char* text, int16_t values[2]) {
  int64_t number = 0;
  const char* rest = text;
  if (!ReadInteger(rest, &number, &rest)) return 0;
  values[0] = static_cast<int16_t>(number);
  if (!ReadInteger(rest, &number, &rest)) return 1;
  values[1] = static_cast<int16_t>(number);
  return 2;
}

void ApplySensor(CSysDescParser& parser, pugi::xml_node node) {
  std::ostream& out = *parser.out;
  _SensorDesc& sensor = parser.sensor;
  for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    const char* name = attribute.name();
    const char* value = attribute.value();
    if (std::strcmp(name, "id") == 0) {
      sensor.id = value;
    } else if (std::strcmp(name, "verStr") == 0) {
      sensor.verStr = value;
    } else if (std::strcmp(name, "pixPitch") == 0) {
      if (ReadFloatPair(value, sensor.pixPitch) < 2) out << "Parse Error of sensor pitch: " << name << value << '\n';
    } else if (std::strcmp(name, "size") == 0) {
      if (ReadInt16Pair(value, sensor.size) < 2) out << "Parse Error of sensor size: " << name << value << '\n';
    } else if (std::strcmp(name, "orientation") == 0) {
      if (strcasecmp(value, "xy") == 0)
        sensor.orientation = 0;
      else if (strcasecmp(value, "yx") == 0)
        sensor.orientation = 1;
      else
        out << "Parse Error of sensor orientation: " << name << value << '\n';
    } else {
      out << "Parse Error unknown sensor attribure: " << name << '\n';
    }
  }
}

void ApplyEth(CSysDescParser& parser, pugi::xml_node node) {
  for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
    if (std::strcmp(attribute.name(), "id") == 0)
      parser.eth.id = attribute.value();
    else
      *parser.out << "Parse Error unknown eth attribure: " << attribute.name() << '\n';
  }
}

void ApplyChainElement(CSysDescParser& parser, int part, pugi::xml_node node) {
  switch (part) {
    case kPartFpga: ApplyFpga(parser, node); break;
    case kPartSensor: ApplySensor(parser, node); break;
    case kPartUsb: ApplyUsb(parser, node); break;
    case kPartEth: ApplyEth(parser, node); break;
    default: break;
  }
}

// The matched element first, then every enclosing element of the same name:
// enclosing values are applied last and so win.
void ApplyPart(CSysDescParser& parser, int part) {
  pugi::xml_node node = parser.matched[part];
  if (!node) return;
  const std::string name = node.name();
  for (; node && node.type() == pugi::node_element && name == node.name(); node = node.parent())
    ApplyChainElement(parser, part, node);
}

}  // namespace

BlockPtr<_SysDesc> FindSystem(CSysDescParser& parser, uint8_t flags, std::ostream& out) {
  parser.flags = flags;
  parser.out = &out;
  pugi::xml_node start = parser.StartElement();
  if (flags & kSysDumpElemAttrStruct) DumpElemAttrStruct(parser, start, out);
  if (flags & kSysDumpTree) DumpTree(parser, start, out, false);
  if (flags & kSysVpFind) {
    Rule(out, " VP_FIND ");
    out << '\n';
  }
  SearchWalk(parser);
  if (CompleteReferences(parser)) SearchWalk(parser);
  if (flags & kSysVpFind) SearchSummary(parser);
  if (flags & kSysVbParseObj) {
    Rule(out, " VB_PARSE_OBJ ");
    out << '\n';
  }
  for (int part = kPartFpga; part < kPartCount; ++part) ApplyPart(parser, part);
  return AssembleSysDesc(parser);
}

}  // namespace orvex
