#include "desc/RegDescParser.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <iomanip>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvex {

uint8_t ModeFlags(const char* letters) {
  uint8_t flags = 0;
  for (const char* c = letters; c && *c; ++c) {
    switch (*c) {
      case 'v': flags |= 1; break;
      case 'r': flags |= 2; break;
      case 'a': flags |= 4; break;
      case 'h': flags |= 8; break;
      default: break;
    }
  }
  return flags;
}

uint8_t CamModeBits(const char* digits) {
  uint8_t bits = 0;
  for (const char* c = digits; c && *c; ++c)
    if (*c >= '0' && *c <= '7') bits |= static_cast<uint8_t>(1u << (*c - '0'));
  return bits;
}

namespace {

constexpr size_t kMaxObjects = 0xFFFF;  // the counters are 16 bits wide

constexpr size_t AlignUp(size_t offset, size_t alignment) { return (offset + alignment - 1) / alignment * alignment; }

// W ones from bit `position` on, cut to 8 bits; nothing for impossible fields.
uint8_t FieldMask(int64_t width, int64_t position) {
  if (width <= 0 || position < 0 || position > 7) return 0;
  uint32_t ones = width >= 8 ? 0xFFu : (1u << width) - 1;
  return static_cast<uint8_t>(ones << position);
}

int8_t LowByte(int64_t value) { return static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF)); }

// Where the objects go. The count pass runs the very same logic as the build
// pass, only into scratch storage, so the two passes cannot disagree whatever
// the nesting of the file (Reg in Reg, Map in Map, dangling Lnk ...).
class ObjectArena {
 public:
  explicit ObjectArena(CRegDescParser& parser) : parser_(parser) {}

  void StartBuild(_RegDesc* record, regEntry* entries, enumEntry* enums, char* text, char* textEnd) {
    counting_ = false;
    record_ = record;
    entries_ = entries;
    enums_ = enums;
    text_ = text;
    textEnd_ = textEnd;
    capacity_[0] = parser_.regCount;
    capacity_[1] = parser_.mapCount;
    capacity_[2] = parser_.entryCount;
    capacity_[3] = parser_.enumCount;
    parser_.regCount = parser_.mapCount = parser_.entryCount = parser_.enumCount = 0;
    parser_.textBytes = 0;
    scratchRegs_.clear();
    scratchMaps_.clear();
    scratchEntries_.clear();
    scratchEnums_.clear();
    tails_.clear();
  }

  bool Counting() const { return counting_; }

  _Reg* NewReg() { return Next(parser_.regCount, 0, scratchRegs_, record_ ? record_->regs : nullptr); }
  _Map* NewMap() { return Next(parser_.mapCount, 1, scratchMaps_, record_ ? record_->maps : nullptr); }
  regEntry* NewEntry() { return Next(parser_.entryCount, 2, scratchEntries_, entries_); }
  enumEntry* NewEnum() { return Next(parser_.enumCount, 3, scratchEnums_, enums_); }

  const char* CopyText(const char* text) {
    size_t size = std::strlen(text) + 1;
    if (counting_) {
      textSize_ += size;
      parser_.textBytes = static_cast<uint32_t>(textSize_ > UINT32_MAX ? UINT32_MAX : textSize_);
      return text;  // the document outlives the count pass
    }
    if (size > static_cast<size_t>(textEnd_ - text_)) return nullptr;
    char* copy = text_;
    std::memcpy(copy, text, size);
    text_ += size;
    parser_.textBytes += static_cast<uint32_t>(size);
    return copy;
  }
  size_t TextSize() const { return textSize_; }

  // The first register created so far whose id is `id`.
  _Reg* FindRegister(const char* id) {
    if (!id) return nullptr;
    if (counting_) {
      for (_Reg& reg : scratchRegs_)
        if (reg.id && std::strcmp(reg.id, id) == 0) return &reg;
      return nullptr;
    }
    for (uint16_t i = 0; i < parser_.regCount; ++i)
      if (record_->regs[i].id && std::strcmp(record_->regs[i].id, id) == 0) return &record_->regs[i];
    return nullptr;
  }

  void AppendEntry(_Map* map, regEntry* entry) {
    regEntry*& tail = tails_[map].entry;
    if (tail)
      tail->next = entry;
    else
      map->regEntries = entry;
    tail = entry;
  }
  void AppendEnum(_Map* map, enumEntry* entry) {
    enumEntry*& tail = tails_[map].enumeration;
    if (tail)
      tail->next = entry;
    else
      map->enumEntries = entry;
    tail = entry;
  }

 private:
  template <class T>
  T* Next(uint16_t& count, int kind, std::deque<T>& scratch, T* area) {
    if (counting_) {
      if (count >= kMaxObjects) return nullptr;
      ++count;
      return &scratch.emplace_back();
    }
    if (!area || count >= capacity_[kind]) return nullptr;
    return &area[count++];
  }

  struct Tails {
    regEntry* entry = nullptr;
    enumEntry* enumeration = nullptr;
  };

  CRegDescParser& parser_;
  bool counting_ = true;
  std::deque<_Reg> scratchRegs_;
  std::deque<_Map> scratchMaps_;
  std::deque<regEntry> scratchEntries_;
  std::deque<enumEntry> scratchEnums_;
  std::unordered_map<const _Map*, Tails> tails_;
  size_t textSize_ = 0;
  _RegDesc* record_ = nullptr;
  regEntry* entries_ = nullptr;
  enumEntry* enums_ = nullptr;
  char* text_ = nullptr;
  char* textEnd_ = nullptr;
  size_t capacity_[4] = {};
};

struct Context {
  _Map* map = nullptr;
  _Reg* reg = nullptr;
};

// What the attributes of a Reg give its implicit map.
struct ImplicitMapValues {
  const char* group = nullptr;
  uint8_t level = 1;
  uint32_t min = 0;
  uint32_t max = 0;
  uint8_t cammode = 0;
  uint8_t mode = 0;
};

const char* OrNull(const char* text) { return text ? text : "(NULL)"; }

class TreeBuilder {
 public:
  TreeBuilder(CRegDescParser& parser, uint8_t flags, std::ostream& out)
      : parser_(parser), flags_(flags), out_(out), arena_(parser) {}

  void CountPass() { Walk(); }
  void BuildPass(_RegDesc* record, regEntry* entries, enumEntry* enums, char* text, char* textEnd) {
    arena_.StartBuild(record, entries, enums, text, textEnd);
    Walk();
  }
  size_t TextSize() const { return arena_.TextSize(); }

 private:
  // Messages belong to the build pass only; the count pass stays silent.
  std::ostream& Message() { return arena_.Counting() ? silent_ : out_; }
  std::ostream& Trace() { return !arena_.Counting() && (flags_ & kRegVbTreeParse) ? out_ : silent_; }

  void Walk() {
    struct Pending {
      pugi::xml_node node;
      int depth;
      Context context;
    };
    std::vector<Pending> stack{{parser_.StartElement(), 0, {}}};
    std::vector<pugi::xml_node> children;
    if (!stack.back().node) return;
    while (!stack.empty()) {
      Pending item = stack.back();
      stack.pop_back();
      Context inner = Visit(item.node, item.depth, item.context);
      children.clear();
      for (pugi::xml_node child = FirstChildElement(item.node); child; child = NextSiblingElement(child))
        children.push_back(child);
      for (auto child = children.rbegin(); child != children.rend(); ++child)
        stack.push_back({*child, item.depth + 1, inner});
    }
  }

  Context Visit(pugi::xml_node node, int depth, const Context& context) {
    std::ostream& trace = arena_.Counting() ? (flags_ & kRegVbCntTree ? out_ : silent_) : Trace();
    Indent(trace, depth);
    trace << node.name();
    if (arena_.Counting() && (flags_ & kRegVbCntTree)) out_ << '\n';
    const char* name = node.name();
    if (std::strcmp(name, "Reg") == 0) return AddReg(node, context);
    if (std::strcmp(name, "Map") == 0) return AddMap(node, context);
    if (std::strcmp(name, "Enum") == 0) {
      AddEnum(node, context);
    } else if (std::strcmp(name, "Lnk") == 0) {
      AddLink(node, context);
    } else if (std::strcmp(name, "RegDesc") == 0) {
      Trace() << '\n';
    } else {
      Message() << "Don't know how to handle tag: " << name << '\n';
    }
    return {};
  }

  void AttributeFailed(const char* what, pugi::xml_attribute attribute) {
    Message() << what << attribute.name() << '=' << attribute.value() << '\n';
  }

  bool ReadNumber(pugi::xml_attribute attribute, int64_t* value) {
    if (ReadInteger(attribute.value(), value)) return true;
    AttributeFailed("AddReg attribute failed: ", attribute);
    return false;
  }

  void ApplyRegBit(pugi::xml_attribute attribute, regEntry* entry) {
    int64_t position = 0;
    int64_t width = 8;
    if (ReadIntegerPair(attribute.value(), ':', &position, &width) == 0) {
      AttributeFailed("AddReg attribute failed: ", attribute);
      return;
    }
    if (!entry) return;
    entry->shift = LowByte(-position);
    entry->mask = FieldMask(width, ((position % 8) + 8) % 8);
  }

  Context AddReg(pugi::xml_node node, const Context& context) {
    _Reg* reg = arena_.NewReg();
    if (!reg) {
      Trace() << '\n';
      Message() << "Too many registers, skipped: " << node.attribute("id").value() << '\n';
      return {};
    }
    regEntry* entry = nullptr;
    if (context.map && (entry = arena_.NewEntry())) {
      *entry = regEntry{0, 0xFF, reg, nullptr};
      arena_.AppendEntry(context.map, entry);
    }
    ImplicitMapValues values;
    int64_t number = 0;
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
      const char* name = attribute.name();
      if (std::strcmp(name, "num") == 0) {
        if (ReadNumber(attribute, &number)) reg->num = static_cast<uint8_t>(number);
      } else if (std::strcmp(name, "id") == 0) {
        reg->id = arena_.CopyText(attribute.value());
      } else if (std::strcmp(name, "cmt") == 0) {
        reg->cmt = arena_.CopyText(attribute.value());
      } else if (std::strcmp(name, "group") == 0) {
        values.group = attribute.value();
      } else if (std::strcmp(name, "level") == 0) {
        if (ReadNumber(attribute, &number)) values.level = static_cast<uint8_t>(number);
      } else if (std::strcmp(name, "min") == 0) {
        if (ReadNumber(attribute, &number)) values.min = static_cast<uint32_t>(number);
      } else if (std::strcmp(name, "max") == 0) {
        if (ReadNumber(attribute, &number)) values.max = static_cast<uint32_t>(number);
      } else if (std::strcmp(name, "cammode") == 0) {
        values.cammode = CamModeBits(attribute.value());
      } else if (std::strcmp(name, "bit") == 0) {
        ApplyRegBit(attribute, entry);
      } else if (std::strcmp(name, "mode") == 0) {
        values.mode = ModeFlags(attribute.value());
      } else {
        Message() << " don't know how to handle attribute " << name << '\n';
      }
    }
    if (!context.map && !HasChildElements(node)) AddImplicitMap(reg, values);
    TraceReg(*reg, values);
    return {nullptr, reg};
  }

  void AddImplicitMap(_Reg* reg, const ImplicitMapValues& values) {
    regEntry* entry = arena_.NewEntry();
    _Map* map = entry ? arena_.NewMap() : nullptr;
    if (!map) return;
    *entry = regEntry{0, 0xFF, reg, nullptr};
    map->id = reg->id;
    map->cmt = reg->cmt;
    map->mode = values.mode;
    map->cammode = values.cammode;
    map->level = values.level;
    map->min = values.min;
    map->max = values.max;
    map->group = arena_.CopyText(values.group ? values.group : "(NULL)");
    map->regEntries = entry;
    map->cachedValue = 0;
  }

  void TraceReg(const _Reg& reg, const ImplicitMapValues& values) {
    std::ostream& trace = Trace();
    StreamFormatGuard guard(trace);
    trace << " 0x" << std::hex << std::setw(2) << std::setfill('0') << unsigned{reg.num} << std::setfill(' ') << ':'
          << std::left << std::setw(20) << OrNull(reg.id) << std::right << ' ' << unsigned{values.mode} << ' '
          << unsigned{values.cammode} << "  " << OrNull(values.group) << "  " << unsigned{values.level} << ' '
          << values.min << ':' << values.max << "  " << OrNull(reg.cmt) << '\n';
  }

  // type on a Map inside a Reg: bool:N, mask:P:W or enum:P:W, numbers at fixed places.
  void ApplyType(pugi::xml_attribute attribute, regEntry* entry) {
    const char* type = attribute.value();
    const size_t length = std::strlen(type);
    int64_t first = 0;
    int64_t second = 0;
    const bool isBool = std::strncmp(type, "bool", 4) == 0;
    const bool isField = std::strncmp(type, "mask", 4) == 0 || std::strncmp(type, "enum", 4) == 0;
    if (!isBool && !isField) {
      Message() << " (2) dont know how to handle type " << type << '\n';
      return;
    }
    const bool readable = length > 5 && ReadInteger(type + 5, &first) &&
                          (isBool || (length > 7 && ReadInteger(type + 7, &second)));
    if (!readable) {
      AttributeFailed("AddReg attribute failed: ", attribute);
      return;
    }
    if (!entry) return;
    entry->shift = LowByte(first);
    entry->mask = isBool ? FieldMask(1, first) : FieldMask(second, first);
  }

  Context AddMap(pugi::xml_node node, const Context& context) {
    _Map* map = arena_.NewMap();
    if (!map) {
      Trace() << '\n';
      Message() << "Too many maps, skipped: " << node.attribute("id").value() << '\n';
      return {};
    }
    regEntry* entry = nullptr;
    if (context.reg && (entry = arena_.NewEntry())) {
      *entry = regEntry{0, 0xFF, context.reg, nullptr};
      arena_.AppendEntry(map, entry);
    }
    int64_t number = 0;
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute()) {
      const char* name = attribute.name();
      if (std::strcmp(name, "id") == 0) {
        map->id = arena_.CopyText(attribute.value());
      } else if (std::strcmp(name, "cmt") == 0) {
        map->cmt = arena_.CopyText(attribute.value());
      } else if (std::strcmp(name, "group") == 0) {
        map->group = arena_.CopyText(attribute.value());
      } else if (std::strcmp(name, "level") == 0) {
        if (ReadNumber(attribute, &number)) map->level = static_cast<uint8_t>(number);
      } else if (std::strcmp(name, "min") == 0) {
        if (ReadNumber(attribute, &number)) map->min = static_cast<uint32_t>(number);
      } else if (std::strcmp(name, "max") == 0) {
        if (ReadNumber(attribute, &number)) map->max = static_cast<uint32_t>(number);
      } else if (std::strcmp(name, "cammode") == 0) {
        map->cammode = CamModeBits(attribute.value());
      } else if (std::strcmp(name, "mode") == 0) {
        map->mode = ModeFlags(attribute.value());
      } else if (std::strcmp(name, "type") == 0) {
        if (context.reg)
          ApplyType(attribute, entry);
        else if (std::strncmp(attribute.value(), "uint", 4) != 0)
          Message() << " (1) dont know how to handle type " << attribute.value() << '\n';
      }
    }
    TraceMap(*map);
    return {map, nullptr};
  }

  void TraceMap(const _Map& map) {
    std::ostream& trace = Trace();
    StreamFormatGuard guard(trace);
    trace << ' ' << std::left << std::setw(20) << OrNull(map.id) << std::right;
    for (const regEntry* entry = map.regEntries; entry; entry = entry->next)
      trace << '(' << std::dec << int{entry->shift} << ":0x" << std::hex << std::setw(2) << std::setfill('0')
            << unsigned{entry->mask} << std::setfill(' ') << ')';
    trace << OrNull(map.cmt) << '\n';
  }

  void AddLink(pugi::xml_node node, const Context& context) {
    if (!context.map) {
      Trace() << '\n';
      return;
    }
    pugi::xml_attribute id = node.attribute("id");
    _Reg* target = arena_.FindRegister(id ? id.value() : nullptr);
    if (!target) {
      // Following such an entry would touch a register that does not exist.
      Trace() << '\n';
      Message() << "Lnk to an undefined register skipped: " << id.value() << '\n';
      return;
    }
    regEntry* entry = arena_.NewEntry();
    if (!entry) {
      Trace() << '\n';
      return;
    }
    *entry = regEntry{0, 0xFF, target, nullptr};
    if (pugi::xml_attribute bit = node.attribute("bit")) {
      int64_t shift = 0;
      int64_t mask = 0xFF;
      int read = ReadIntegerPair(bit.value(), ':', &shift, &mask);
      if (read == 0) AttributeFailed("AddReg attribute failed: ", bit);
      if (read >= 1) entry->shift = LowByte(shift);
      if (read >= 2) entry->mask = static_cast<uint8_t>(mask);
    }
    arena_.AppendEntry(context.map, entry);
    std::ostream& trace = Trace();
    StreamFormatGuard guard(trace);
    trace << std::dec << std::setw(3) << int{entry->shift} << ":0x" << std::hex << std::setw(2) << std::setfill('0')
          << unsigned{entry->mask} << std::setfill(' ') << ':' << OrNull(target->id) << '\n';
  }

  void AddEnum(pugi::xml_node node, const Context& context) {
    if (!context.map) {
      Trace() << '\n';
      return;
    }
    enumEntry* entry = arena_.NewEnum();
    if (!entry) {
      Trace() << '\n';
      return;
    }
    *entry = enumEntry{0, nullptr, nullptr};
    arena_.AppendEnum(context.map, entry);
    pugi::xml_attribute num = node.attribute("num");
    int64_t value = 0;
    if (ReadInteger(num.value(), &value))
      entry->value = static_cast<int32_t>(value);
    else
      Message() << "AddEnum attribute failed: " << "num" << '=' << num.value() << '\n';
    entry->name = arena_.CopyText(node.attribute("id").value());
    std::ostream& trace = Trace();
    StreamFormatGuard guard(trace);
    trace << " 0x" << std::hex << std::setw(2) << std::setfill('0') << entry->value << std::setfill(' ') << ':'
          << OrNull(entry->name) << '\n';
  }

  CRegDescParser& parser_;
  uint8_t flags_;
  std::ostream& out_;
  std::ostream silent_{nullptr};
  ObjectArena arena_;
};

void WriteCounts(const CRegDescParser& parser, std::ostream& out) {
  StreamFormatGuard guard(out);
  Rule(out, " VB_CNT Object Counts ");
  out << std::dec << "\nreg:        " << parser.regCount << "\nmap:       " << parser.mapCount
      << "\nregEntry:   " << parser.entryCount << "\nenumEntry:  " << parser.enumCount
      << "\nstrLen:     " << parser.textBytes << '\n';
}

}  // namespace

BlockPtr<_RegDesc> BuildRegDesc(CRegDescParser& parser, uint8_t flags, std::ostream& out) {
  pugi::xml_node start = parser.StartElement();
  if (flags & kRegDumpElemAttrStruct) DumpElemAttrStruct(parser, start, out);
  if (flags & kRegDumpTree) DumpTree(parser, start, out, true);

  parser.regCount = parser.mapCount = parser.entryCount = parser.enumCount = 0;
  parser.textBytes = 0;
  if (flags & kRegVbCntTree) {
    Rule(out, " VB_CNT_TREE ");
    out << '\n';
  }
  TreeBuilder builder(parser, flags, out);
  builder.CountPass();
  if (flags & kRegVbCnt) WriteCounts(parser, out);

  size_t regsAt = AlignUp(sizeof(_RegDesc), alignof(_Reg));
  size_t mapsAt = AlignUp(regsAt + parser.regCount * sizeof(_Reg), alignof(_Map));
  size_t entriesAt = AlignUp(mapsAt + parser.mapCount * sizeof(_Map), alignof(regEntry));
  size_t enumsAt = AlignUp(entriesAt + parser.entryCount * sizeof(regEntry), alignof(enumEntry));
  size_t textAt = enumsAt + parser.enumCount * sizeof(enumEntry);
  size_t size = textAt + builder.TextSize();

  char* block = static_cast<char*>(std::calloc(1, size));
  if (!block) throw std::bad_alloc();
  BlockPtr<_RegDesc> record(new (block) _RegDesc{});
  record->regCount = parser.regCount;
  record->regs = reinterpret_cast<_Reg*>(block + regsAt);
  record->mapCount = parser.mapCount;
  record->maps = reinterpret_cast<_Map*>(block + mapsAt);

  if (flags & kRegVbTreeParse) {
    Rule(out, " VB_TREE_PARSE ");
    out << '\n';
  }
  builder.BuildPass(record.get(), reinterpret_cast<regEntry*>(block + entriesAt),
                    reinterpret_cast<enumEntry*>(block + enumsAt), block + textAt, block + size);
  // Both passes ran the same logic; the record holds exactly what was counted.
  record->regCount = parser.regCount;
  record->mapCount = parser.mapCount;
  return record;
}

}  // namespace orvex
