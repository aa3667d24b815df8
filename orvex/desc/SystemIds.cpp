#include "desc/SystemIds.h"

#include <sstream>

#include "desc/DescDoc.h"

namespace orvex {

std::vector<std::string> SystemIds(const std::string& sysDescPath) {
  CDescDoc doc;
  std::ostringstream ignored;
  std::vector<std::string> ids;
  if (LoadDescriptionFile(doc, sysDescPath, ignored) != 0) return ids;
  for (pugi::xml_node node : doc.document.document_element().children("System"))
    if (const char* id = node.attribute("id").as_string(nullptr)) ids.emplace_back(id);
  return ids;
}

std::string JoinedSystemIds(const std::string& sysDescPath) {
  std::string joined;
  for (const std::string& id : SystemIds(sysDescPath)) joined += (joined.empty() ? "" : ", ") + id;
  return joined;
}

}  // namespace orvex
