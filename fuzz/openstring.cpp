// Open strings from arbitrary bytes against a small data folder: tokenising,
// selection, the build and the close, with map writes through every map.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "Orvex.h"
#include "api/Factory.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "desc/MapAccess.h"

namespace {

int32_t Quiet(QV_Handle, uint32_t, uint32_t, const char*) { return 0; }

void Write(const std::string& path, const char* text) { std::ofstream(path) << text; }

// Built once per process: the fuzzer needs no files of its own.
void PrepareDataFolder() {
  static bool done = false;
  if (done) return;
  done = true;
  char pattern[] = "/tmp/orvex-fuzz-XXXXXX";
  const char* root = mkdtemp(pattern);
  if (!root) std::abort();
  const std::string devDesc = std::string(root) + "/Tavrin/devDesc";
  std::filesystem::create_directories(devDesc);
  Write(devDesc + "/SysDesc.xml", R"(<SystemDesc>
    <System id="a" fpga="F" sensor="N"/><System id="b" fpga="G" eth="E"/>
    <FPGA id="F" regDesc="r.xml"/><FPGA id="G" regDesc="s.xml"/>
    <Sensor id="N" size="-1 0x7fff"/><ETH id="E"/></SystemDesc>)");
  Write(devDesc + "/r.xml", R"(<RegDesc><Map id="W"><Reg num="0xff" bit="0:8"/><Reg num="3" bit="-8:40"/></Map>
    <Reg num="4" id="X"><Map id="B" type="bool:7" mode="va"/></Reg><Map id="L"><Lnk id="X" bit="-31:0xff"/></Map></RegDesc>)");
  Write(devDesc + "/s.xml", "<RegDesc/>");
  setenv("XDG_DATA_DIRS", root, 1);
  QV_SetCallback(&Quiet);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PrepareDataFolder();
  const std::string openString(reinterpret_cast<const char*>(data), size);
  orvex::OpenStringValues values = orvex::TokeniseOpenString(openString.c_str());
  (void)values;
  std::cout.setstate(std::ios::badbit);  // "verbose=" would flood the log
  CPelSys* system = CFactory::BuildSystem(openString.c_str());
  std::cout.clear();
  if (!system) return 0;
  _RegDesc* desc = system->camera->regDesc.get();
  for (uint16_t i = 0; i < desc->mapCount; ++i) {
    orvex::SetMapValue(*system->camera, &desc->maps[i], 0xFFFFFFFF);
    orvex::GetMapValue(*system->camera, &desc->maps[i]);
  }
  orvex::CloseSystem(system);
  return 0;
}
