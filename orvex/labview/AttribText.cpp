#include "labview/AttribText.h"

#include <cctype>

namespace orvex::lv {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool EndsName(char c) { return c == '\0' || IsBlank(c) || c == '='; }

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// Names longer than the limit keep their first characters; the rest of the
// name is passed over so it cannot be taken for the value.
const char* ReadName(const char* p, std::string* name) {
  name->clear();
  for (; !EndsName(*p); ++p)
    if (name->size() < kAttribNameMax) name->push_back(*p);
  return p;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

}  // namespace

const char* ParseInteger(const char* p, int32_t* value) {
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  unsigned base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) {
    base = 16;
    p += 2;
  } else if (p[0] == '0') {
    base = 8;
  }
  if (DigitValue(*p) >= static_cast<int>(base)) return nullptr;
  uint32_t magnitude = 0;
  for (; DigitValue(*p) < static_cast<int>(base); ++p) magnitude = magnitude * base + DigitValue(*p);
  *value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
  return p;
}

AttribStep AttribTextReader::Next() {
  const char* p = SkipBlanks(cursor_);
  if (*p == '\0') {
    cursor_ = p;
    return AttribStep::End;
  }
  p = ReadName(p, &name_);
  while (EndsName(*p) && *p != '\0') ++p;
  const char* end = ParseInteger(p, &value_);
  if (!end) {
    rest_ = p;
    cursor_ = p;
    return AttribStep::NotANumber;
  }
  while (*end != '\0' && !IsBlank(*end)) ++end;
  cursor_ = end;
  return AttribStep::Pair;
}

std::string LeadingAttribName(const char* text) {
  std::string name;
  ReadName(SkipBlanks(text ? text : ""), &name);
  return name;
}

}  // namespace orvex::lv
