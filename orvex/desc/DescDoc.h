// The document both description parsers share: loading, number texts and the
// two structure listings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>

#include <pugixml.hpp>

namespace orvex {

// Owner of one loaded description document. Element and attribute texts point
// into the document, so they live only as long as this object.
class CDescDoc {
 public:
  CDescDoc() = default;
  virtual ~CDescDoc() = default;
  CDescDoc(const CDescDoc&) = delete;
  CDescDoc& operator=(const CDescDoc&) = delete;

  pugi::xml_document document;
  // Element name -> attribute names seen on it, byte-wise ordered.
  std::map<std::string, std::set<std::string>> elementCatalogue;

  // The element every walk starts at: the root element.
  pugi::xml_node StartElement() const { return document.document_element(); }
};

// 0 when the file was read and parsed; -1 after writing why to `out`.
int32_t LoadDescriptionFile(CDescDoc& doc, const std::string& path, std::ostream& out);
// The same for text already in memory (fuzzing, tests); `name` stands in for the path.
int32_t LoadDescriptionBuffer(CDescDoc& doc, const void* data, size_t size, const std::string& name,
                              std::ostream& out);
// The description of a parse status as the listings print it.
const char* ParseStatusText(int status);

void DumpElemAttrStruct(CDescDoc& doc, pugi::xml_node start, std::ostream& out);
void DumpTree(CDescDoc& doc, pugi::xml_node start, std::ostream& out, bool withAttributes);

pugi::xml_node FirstChildElement(pugi::xml_node node);
pugi::xml_node NextSiblingElement(pugi::xml_node node);
bool HasChildElements(pugi::xml_node node);

// Pre-order walk over the elements below and including `start`, without
// recursion so that deeply nested files cannot exhaust the stack.
// visit(node, depth) is called for element nodes only.
template <class Visit>
void WalkElements(pugi::xml_node start, Visit&& visit) {
  if (!start || start.type() != pugi::node_element) return;
  int depth = 0;
  pugi::xml_node node = start;
  for (;;) {
    visit(node, depth);
    pugi::xml_node child = FirstChildElement(node);
    if (child) {
      node = child;
      ++depth;
      continue;
    }
    while (node != start && !NextSiblingElement(node)) {
      node = node.parent();
      --depth;
    }
    if (node == start) return;
    node = NextSiblingElement(node);
  }
}

// Integer text read the way "%i" reads it: leading blanks, optional sign, then
// decimal, "0x" hexadecimal or leading-zero octal digits. False when no digit
// could be read. Out-of-range values saturate instead of overflowing.
bool ReadInteger(const char* text, int64_t* value, const char** end = nullptr);
// "%i:%i": how many of the two numbers could be read (0, 1 or 2).
int ReadIntegerPair(const char* text, char separator, int64_t* first, int64_t* second);

// Two spaces per depth level.
void Indent(std::ostream& out, int depth);
// 20 dashes, the title, 20 dashes (no line end).
void Rule(std::ostream& out, const char* title);

// Restores the stream's formatting when a listing is done with it.
class StreamFormatGuard {
 public:
  explicit StreamFormatGuard(std::ostream& out) : out_(out), flags_(out.flags()), fill_(out.fill()) {}
  ~StreamFormatGuard() {
    out_.flags(flags_);
    out_.fill(fill_);
  }
  StreamFormatGuard(const StreamFormatGuard&) = delete;
  StreamFormatGuard& operator=(const StreamFormatGuard&) = delete;

 private:
  std::ostream& out_;
  std::ios::fmtflags flags_;
  char fill_;
};

}  // namespace orvex
