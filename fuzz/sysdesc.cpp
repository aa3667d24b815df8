// System descriptions from arbitrary bytes: load, select with every listing
// switched on, dump. The first line of the input names the wanted ids.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "desc/SysDescParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t lineEnd = input.find('\n');
  const std::string ids = lineEnd == std::string::npos ? std::string() : input.substr(0, lineEnd);
  const std::string xml = lineEnd == std::string::npos ? input : input.substr(lineEnd + 1);

  orvex::CSysDescParser parser;
  std::ostringstream out;
  if (orvex::LoadDescriptionBuffer(parser, xml.data(), xml.size(), "fuzz", out) != 0) return 0;
  parser.ClearSelection();
  std::string wanted[orvex::kPartCount];
  std::istringstream words(ids);
  for (int part = 0; part < orvex::kPartCount && words >> wanted[part]; ++part)
    if (wanted[part] != "-") parser.wanted[part] = wanted[part].c_str();
  orvex::BlockPtr<_SysDesc> desc = orvex::FindSystem(parser, 0xFF, out);
  orvex::DumpSysDesc(0xFFFFFFFF, out, desc.get());
  return 0;
}
