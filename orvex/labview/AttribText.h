// Reader for LabVIEW attribute texts: name=value pairs separated by blanks,
// tabs or newlines ("SensNFrames=10 CamMode = 0").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvex::lv {

constexpr size_t kAttribNameMax = 63;

enum class AttribStep { Pair, End, NotANumber };

class AttribTextReader {
 public:
  explicit AttribTextReader(const char* text) : cursor_(text ? text : "") {}

  // The next pair; at NotANumber, rest() is the text from the value's position on.
  AttribStep Next();

  const std::string& name() const { return name_; }
  int32_t value() const { return value_; }
  const char* rest() const { return rest_; }

 private:
  const char* cursor_;
  std::string name_;
  int32_t value_ = 0;
  const char* rest_ = "";
};

// The name at the start of text after leading blanks, tabs and newlines, up to
// a blank, tab, newline or '=' (at most kAttribNameMax characters).
std::string LeadingAttribName(const char* text);

// An integer in C "%i" syntax: leading white space, optional sign, then 0x
// hexadecimal, leading-0 octal or decimal digits; wraps modulo 2^32. Returns
// the end of the number, or null when there is none.
const char* ParseInteger(const char* text, int32_t* value);

}  // namespace orvex::lv
