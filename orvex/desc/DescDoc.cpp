#include "desc/DescDoc.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace orvex {

const char* ParseStatusText(int status) {
  static const char* const kTexts[] = {
      "No error",
      "File was not found",
      "Error reading from file/stream",
      "Could not allocate memory",
      "Internal error occurred",
      "Could not determine tag type",
      "Error parsing document declaration/processing instruction",
      "Error parsing comment",
      "Error parsing CDATA section",
      "Error parsing document type declaration",
      "Error parsing PCDATA section",
      "Error parsing start element tag",
      "Error parsing element attribute",
      "Error parsing end element tag",
      "Start-end tags mismatch",
  };
  if (status >= 0 && status < static_cast<int>(sizeof kTexts / sizeof kTexts[0])) return kTexts[status];
  return "Unknown error";
}

namespace {

int32_t Judge(const pugi::xml_parse_result& result, const std::string& path, std::ostream& out) {
  if (result.status == pugi::status_ok) return 0;
  out << "Cant parse File: " << path << '\n'
      << ParseStatusText(result.status) << ": at offset " << result.offset << '\n';
  return -1;
}

}  // namespace

int32_t LoadDescriptionFile(CDescDoc& doc, const std::string& path, std::ostream& out) {
  doc.document.reset();
  // Only regular files: a folder or a device named in an open string would
  // otherwise be read as a file of absurd or endless size.
  std::error_code error;
  const std::filesystem::file_status file = std::filesystem::status(path, error);
  if (!std::filesystem::is_regular_file(file)) {
    pugi::xml_parse_result refused;
    refused.status = std::filesystem::exists(file) ? pugi::status_io_error : pugi::status_file_not_found;
    refused.offset = 0;
    return Judge(refused, path, out);
  }
  return Judge(doc.document.load_file(path.c_str(), pugi::parse_default, pugi::encoding_auto), path, out);
}

int32_t LoadDescriptionBuffer(CDescDoc& doc, const void* data, size_t size, const std::string& name,
                              std::ostream& out) {
  doc.document.reset();
  return Judge(doc.document.load_buffer(data, size, pugi::parse_default, pugi::encoding_auto), name, out);
}

pugi::xml_node FirstChildElement(pugi::xml_node node) {
  pugi::xml_node child = node.first_child();
  while (child && child.type() != pugi::node_element) child = child.next_sibling();
  return child;
}

pugi::xml_node NextSiblingElement(pugi::xml_node node) {
  pugi::xml_node sibling = node.next_sibling();
  while (sibling && sibling.type() != pugi::node_element) sibling = sibling.next_sibling();
  return sibling;
}

bool HasChildElements(pugi::xml_node node) { return static_cast<bool>(FirstChildElement(node)); }

void Indent(std::ostream& out, int depth) {
  for (int i = 0; i < depth; ++i) out << "  ";
}

void Rule(std::ostream& out, const char* title) {
  const std::string dashes(20, '-');
  out << dashes << title << dashes;
}

void DumpElemAttrStruct(CDescDoc& doc, pugi::xml_node start, std::ostream& out) {
  Rule(out, " DumpElemAttrStruct ");
  out << '\n';
  doc.elementCatalogue.clear();
  WalkElements(start, [&](pugi::xml_node node, int) {
    std::set<std::string>& attributes = doc.elementCatalogue[node.name()];
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute())
      attributes.insert(attribute.name());
  });
  for (const auto& [element, attributes] : doc.elementCatalogue) {
    out << element << '\n';
    for (const std::string& attribute : attributes) out << "  " << attribute << '\n';
  }
}

void DumpTree(CDescDoc&, pugi::xml_node start, std::ostream& out, bool withAttributes) {
  Rule(out, " DumpTree ");
  out << '\n';
  WalkElements(start, [&](pugi::xml_node node, int depth) {
    Indent(out, depth);
    out << node.name();
    if (withAttributes) {
      out << " ( ";
      for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute())
        out << attribute.name() << ' ';
      out << ")";
    }
    out << '\n';
  });
}

bool ReadInteger(const char* text, int64_t* value, const char** end) {
  if (end) *end = text;
  if (!text) return false;
  char* stop = nullptr;
  errno = 0;
  long long number = std::strtoll(text, &stop, 0);
  if (stop == text) return false;
  *value = number;
  if (end) *end = stop;
  return true;
}

int ReadIntegerPair(const char* text, char separator, int64_t* first, int64_t* second) {
  const char* rest = nullptr;
  if (!ReadInteger(text, first, &rest)) return 0;
  if (*rest != separator) return 1;
  return ReadInteger(rest + 1, second) ? 2 : 1;
}

}  // namespace orvex
