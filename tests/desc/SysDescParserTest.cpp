#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "common/TempDataFolder.h"
#include "desc/SysDescParser.h"

using namespace orvex;

namespace {

struct Selection {
  const char* sys = nullptr;
  const char* fpga = nullptr;
  const char* sensor = nullptr;
  const char* usb = nullptr;
  const char* eth = nullptr;
};

// Parses `xml`, selects and returns the record; messages and listings land in `log`.
BlockPtr<_SysDesc> Find(const std::string& xml, const Selection& selection, uint8_t flags = 0,
                        std::string* log = nullptr) {
  CSysDescParser parser;
  std::ostringstream out;
  EXPECT_EQ(0, LoadDescriptionBuffer(parser, xml.data(), xml.size(), "test", out));
  parser.ClearSelection();
  parser.wanted[kPartSystem] = selection.sys;
  parser.wanted[kPartFpga] = selection.fpga;
  parser.wanted[kPartSensor] = selection.sensor;
  parser.wanted[kPartUsb] = selection.usb;
  parser.wanted[kPartEth] = selection.eth;
  BlockPtr<_SysDesc> desc = FindSystem(parser, flags, out);
  if (log) *log = out.str();
  return desc;
}

const char* kTwoSystems = R"(<SystemDesc>
  <System id="S" fpga="F" usb="U" driver="x" preloadProperties="y"/>
  <System id="T" fpga="F" sensor="N"/>
  <FPGA id="F" regDesc="f.xml" maxFrm="7"/>
  <FPGA id="G" regDesc="g.xml"/>
  <Sensor id="N" size="280 292"/>
  <USB id="U" vendorID="0x0852" productID="0x0081" protocol="2"/>
</SystemDesc>)";

TEST(SysDescFind, SystemReferencesAreCompletedByASecondSearch) {
  std::string log;
  BlockPtr<_SysDesc> desc = Find(kTwoSystems, {"S"}, kSysVpFind, &log);
  ASSERT_TRUE(desc->fpga && desc->usb);
  EXPECT_STREQ("S", desc->sysId);
  EXPECT_STREQ("f.xml", desc->fpga->regDesc);
  EXPECT_EQ(0x0852, desc->usb->vendorID);
  EXPECT_EQ(nullptr, desc->sensor);
  EXPECT_NE(std::string::npos, log.find("System:   S            :found!\n"
                                        "FPGA:     F            :found!\n"
                                        "Sensor:   (null)       :(null)\n"
                                        "USB:      U            :found!\n"
                                        "ETH:      (null)       :(null)\n"));
  EXPECT_NE(std::string::npos, log.find("-------------------------\n  System S <-- Found !\n-------------------------\n"));
}

TEST(SysDescFind, OpenStringIdsWinOverSystemReferences) {
  BlockPtr<_SysDesc> desc = Find(kTwoSystems, {"S", "G"});
  ASSERT_TRUE(desc->fpga);
  EXPECT_STREQ("g.xml", desc->fpga->regDesc);
  EXPECT_STREQ("G", desc->fpga->id);
}

TEST(SysDescFind, UnknownSystemGivesAnEmptyRecord) {
  std::string log;
  BlockPtr<_SysDesc> desc = Find(kTwoSystems, {"nothing"}, kSysVpFind, &log);
  EXPECT_EQ(nullptr, desc->sysId);
  EXPECT_FALSE(desc->fpga || desc->sensor || desc->usb || desc->eth || desc->motion);
  EXPECT_EQ(kFpgaFeatureNames, desc->fpgaFeatureNames);
  EXPECT_NE(std::string::npos, log.find("System:   nothing      :(null)\nFPGA:     (null)       :(null)\n"));
}

TEST(SysDescFind, LaterElementWithTheSameIdWins) {
  BlockPtr<_SysDesc> desc =
      Find(R"(<R><FPGA id="F" maxFrm="1"/><X><FPGA id="F" maxFrm="2"/></X><ETH id="e1"/></R>)", {nullptr, "F", nullptr,
                                                                                                  nullptr, "e1"});
  ASSERT_TRUE(desc->fpga && desc->eth);
  EXPECT_EQ(2, desc->fpga->maxFrm);
  EXPECT_STREQ("e1", desc->eth->id);
}

TEST(SysDescFind, EnclosingElementsOfTheSameNameOverrideInnerValues) {
  BlockPtr<_SysDesc> desc = Find(R"(<R><FPGA id="fam" maxFrm="8">
      <Feature id="ascan_first"/>
      <FPGA id="lite" maxFrm="4" verStr="a"><Feature id="mhtheader"/></FPGA>
    </FPGA></R>)",
                                 {nullptr, "lite"});
  ASSERT_TRUE(desc->fpga);
  EXPECT_EQ(8, desc->fpga->maxFrm);
  EXPECT_STREQ("a", desc->fpga->verStr);
  EXPECT_STREQ("fam", desc->fpga->id);
  EXPECT_EQ((1u << 3) | (1u << 18), desc->fpga->feature);  // features accumulate over the chain
}

TEST(SysDescFind, FeaturesAreLookedUpInTheTableOfTheirParent) {
  std::string log;
  BlockPtr<_SysDesc> desc = Find(R"(<R>
      <USB id="U"><Feature id="ends_packets"/><Feature id="SystemDesc"/><Other id="x"/></USB>
      <FPGA id="F"><Feature id="ends_packets"/><Feature/><Feature id="needs_fpga_fw_load"/></FPGA>
    </R>)",
                                 {nullptr, "F", nullptr, "U"}, 0, &log);
  EXPECT_EQ(1u << 2, desc->usb->feature);
  EXPECT_EQ(1u << 22, desc->fpga->feature);
  EXPECT_EQ(
      "Parse Error unknown FPGA Feature: ends_packets\n"
      "Parse Error unknown FPGA Feature: \n"
      "Parse Error unknown USB Feature: SystemDesc\n",
      log);
}

TEST(SysDescFind, NumbersInEverySyntaxAndTheirParseMessages) {
  std::string log;
  BlockPtr<_SysDesc> desc = Find(R"(<R>
      <FPGA id="F" numRegs="010" verRegBCD="-5" maxFrm="abc" frmMrk="0x8001" zFrmBlkSz="12tail" bogus="1"/>
      <USB id="U" productID="0x1234" epRead="0x182" interface="3" protocol="x" speed="hi"/>
      <Sensor id="N" size="280" pixPitch="4.5 6.25" orientation="YX" colour="no"/>
      <ETH id="E" mac="1"/>
    </R>)",
                                 {nullptr, "F", "N", "U", "E"}, 0, &log);
  EXPECT_EQ(8, desc->fpga->numRegs);
  EXPECT_EQ(-5, desc->fpga->verRegBCD);
  EXPECT_EQ(0, desc->fpga->maxFrm);
  EXPECT_EQ(static_cast<int16_t>(0x8001), desc->fpga->frmMrk);
  EXPECT_EQ(12, desc->fpga->zFrmBlkSz);
  EXPECT_EQ(0x1234, desc->usb->productID);
  EXPECT_EQ(0x82, desc->usb->epRead);
  EXPECT_EQ(3, desc->usb->iface);
  EXPECT_EQ(280, desc->sensor->size[0]);
  EXPECT_EQ(0, desc->sensor->size[1]);
  EXPECT_FLOAT_EQ(6.25f, desc->sensor->pixPitch[1]);
  EXPECT_EQ(1, desc->sensor->orientation);
  EXPECT_EQ(
      "Parse Error: FPGA maxFrm=abc\n"
      "Parse Error unknown fpga attribure: bogus\n"
      "Parse Error of sensor size: size280\n"
      "Parse Error unknown sensor attribure: colour\n"
      "Parse Error: USB protocol=x\n"
      "Parse Error unknown attribure: USB speed\n"
      "Parse Error unknown eth attribure: mac\n",
      log);
}

TEST(SysDescFind, SensorMessagesForPitchAndOrientation) {
  std::string log;
  BlockPtr<_SysDesc> desc =
      Find(R"(<R><Sensor id="N" pixPitch="x" orientation="xz" size="3,4"/></R>)", {nullptr, nullptr, "N"}, 0, &log);
  EXPECT_EQ(3, desc->sensor->size[0]);
  EXPECT_EQ(0, desc->sensor->orientation);
  EXPECT_EQ(
      "Parse Error of sensor pitch: pixPitchx\n"
      "Parse Error of sensor orientation: orientationxz\n"
      "Parse Error of sensor size: size3,4\n",
      log);
}

TEST(SysDescFind, RecordIsOneBlockThatOutlivesTheDocument) {
  BlockPtr<_SysDesc> desc = Find(kTwoSystems, {"T"});
  ASSERT_TRUE(desc->fpga && desc->sensor);
  const char* begin = reinterpret_cast<const char*>(desc.get());
  const char* end = desc->sensor->id + std::strlen(desc->sensor->id) + 1;
  for (const void* inside : {static_cast<const void*>(desc->fpga), static_cast<const void*>(desc->sensor),
                             static_cast<const void*>(desc->sysId), static_cast<const void*>(desc->fpga->regDesc)}) {
    EXPECT_GE(static_cast<const char*>(inside), begin);
    EXPECT_LT(static_cast<const char*>(inside), end);
  }
  EXPECT_STREQ("T", desc->sysId);
  EXPECT_EQ(nullptr, desc->fpga->fpgaCfg);  // never given: absent
}

TEST(SysDescListings, StructureListingsAndSearchTrace) {
  std::string log;
  Find(R"(<R><System id="S" b="1" a="2"/><FPGA id="F"><Feature id="mhtheader"/></FPGA></R>)", {"S"},
       kSysDumpElemAttrStruct | kSysDumpTree | kSysVbParseObj, &log);
  EXPECT_EQ(
      "-------------------- DumpElemAttrStruct --------------------\n"
      "FPGA\n  id\nFeature\n  id\nR\nSystem\n  a\n  b\n  id\n"
      "-------------------- DumpTree --------------------\n"
      "R\n  System\n  FPGA\n    Feature\n"
      "-------------------- VB_PARSE_OBJ --------------------\n",
      log);
}

TEST(SysDescListings, DumpSysDescLayout) {
  BlockPtr<_SysDesc> desc = Find(R"(<R><System id="S" fpga="F" usb="U"/>
      <FPGA id="F" regDesc="r.xml" verReg="0" maxFrm="0x10"/>
      <USB id="U" productID="0x8613" config="1"/></R>)",
                                 {"S"});
  std::ostringstream out;
  DumpSysDesc(0xFFFFFFFF, out, desc.get());
  const std::string text = out.str();
  EXPECT_EQ(0u, text.find("\n-------------------- FPGA FeatureList:23 --------------------\n0x0: allow_blind_cycles\n"));
  EXPECT_NE(std::string::npos, text.find("0x16: needs_fpga_fw_load\n\n-------------------- USB FeatureList:5 "));
  EXPECT_NE(std::string::npos, text.find("\n-------------------- SYSDESC: S --------------------\nFPGA:\n"
                                         "           id: F\n      regDesc: r.xml\n      fpgaCfg: (null)\n"));
  EXPECT_NE(std::string::npos, text.find("       verReg: 0\n"));
  EXPECT_NE(std::string::npos, text.find("       maxFrm: 0x10\n"));
  EXPECT_NE(std::string::npos, text.find("\nUSB:\n           id: U\n"));
  EXPECT_NE(std::string::npos, text.find("    productID: 0x8613\n"));
  EXPECT_NE(std::string::npos, text.find("       config: 0x1\n"));
  EXPECT_NE(std::string::npos, text.find("  dataBlockSize: 0\n"));
  EXPECT_EQ(std::string::npos, text.find("Sensor:"));
  EXPECT_EQ(std::ios::dec, out.flags() & std::ios::basefield);  // formatting restored
}

TEST(DescriptionFile, LoadMessages) {
  orvex_test::TempDataFolder folder;
  CSysDescParser parser;
  std::ostringstream out;
  const std::string missing = folder.devDesc() + "/none.xml";
  EXPECT_EQ(-1, LoadDescriptionFile(parser, missing, out));
  EXPECT_EQ("Cant parse File: " + missing + "\nFile was not found: at offset 0\n", out.str());

  out.str("");
  const std::string broken = folder.WriteFile("devDesc/broken.xml", "<R><A></B></R>");
  EXPECT_EQ(-1, LoadDescriptionFile(parser, broken, out));
  EXPECT_EQ("Cant parse File: " + broken + "\nStart-end tags mismatch: at offset 8\n", out.str());

  out.str("");
  EXPECT_EQ(-1, LoadDescriptionFile(parser, folder.devDesc(), out));
  EXPECT_EQ("Cant parse File: " + folder.devDesc() + "\nError reading from file/stream: at offset 0\n", out.str());

  out.str("");
  const std::string good = folder.WriteFile("devDesc/good.xml", "<R/>");
  EXPECT_EQ(0, LoadDescriptionFile(parser, good, out));
  EXPECT_EQ("", out.str());
  EXPECT_STREQ("Unknown error", ParseStatusText(16));
}

}  // namespace
