#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "desc/NameLookup.h"
#include "desc/RegDescParser.h"

using namespace orvex;

namespace {

BlockPtr<_RegDesc> Build(const std::string& xml, std::string* log = nullptr, uint8_t flags = 0) {
  CRegDescParser parser;
  std::ostringstream out;
  EXPECT_EQ(0, LoadDescriptionBuffer(parser, xml.data(), xml.size(), "test", out));
  BlockPtr<_RegDesc> desc = BuildRegDesc(parser, flags, out);
  if (log) *log = out.str();
  return desc;
}

std::string Wrap(const std::string& body) { return "<RegDesc>" + body + "</RegDesc>"; }

const _Map& MapNamed(const _RegDesc& desc, const char* name) {
  const _Map* map = FindMap(&desc, name);
  EXPECT_TRUE(map) << name;
  static const _Map kNone{};
  return map ? *map : kNone;
}

std::vector<std::pair<int, unsigned>> Entries(const _Map& map) {
  std::vector<std::pair<int, unsigned>> entries;
  for (const regEntry* entry = map.regEntries; entry; entry = entry->next)
    entries.emplace_back(entry->shift, entry->mask);
  return entries;
}

using Geometry = std::vector<std::pair<int, unsigned>>;

TEST(RegDescBuild, TopLevelRegisterGivesAnImplicitMap) {
  BlockPtr<_RegDesc> desc = Build(Wrap(R"(<Reg num="0x10" id="FrameCnt" level="2" mode="va" cmt="c"/>
      <Reg num="3" id="Plain"/><Map id="Explicit"/>)"));
  ASSERT_EQ(2, desc->regCount);
  EXPECT_EQ(0x10, desc->regs[0].num);
  const _Map& frameCnt = MapNamed(*desc, "FrameCnt");
  EXPECT_STREQ("FrameCnt", frameCnt.id);
  EXPECT_STREQ("c", frameCnt.cmt);
  EXPECT_EQ(2, frameCnt.level);
  EXPECT_EQ(5, frameCnt.mode);
  EXPECT_STREQ("SMPL", MapKind(frameCnt));
  EXPECT_EQ(Geometry({{0, 0xFF}}), Entries(frameCnt));
  EXPECT_EQ(&desc->regs[0], frameCnt.regEntries->reg);
  const _Map& plain = MapNamed(*desc, "Plain");
  EXPECT_EQ(1, plain.level);
  EXPECT_STREQ("(NULL)", plain.group);
  const _Map& explicitMap = MapNamed(*desc, "Explicit");
  EXPECT_EQ(0, explicitMap.level);
  EXPECT_EQ(nullptr, explicitMap.group);
  EXPECT_STREQ("??? ", MapKind(explicitMap));
}

TEST(RegDescBuild, RegistersInsideAMapSpreadTheValue) {
  BlockPtr<_RegDesc> desc = Build(Wrap(R"(<Map id="Exposure">
        <Reg num="0x20" id="ExpLo" bit="0:8"/><Reg num="0x21" id="ExpHi" bit="8:4"/>
      </Map>
      <Map id="Upper"><Reg num="0x22" bit="4:4"/></Map>
      <Map id="Defaults"><Reg num="0x23" bit="3"/><Reg num="0x24" bit="x"/></Map>)"));
  EXPECT_EQ(5, desc->regCount);
  EXPECT_EQ(3, desc->mapCount);  // no implicit maps inside a map
  EXPECT_EQ(Geometry({{0, 0xFF}, {-8, 0x0F}}), Entries(MapNamed(*desc, "Exposure")));
  EXPECT_STREQ("MULT", MapKind(MapNamed(*desc, "Exposure")));
  EXPECT_EQ(Geometry({{-4, 0xF0}}), Entries(MapNamed(*desc, "Upper")));
  EXPECT_EQ(Geometry({{-3, 0xF8}, {0, 0xFF}}), Entries(MapNamed(*desc, "Defaults")));
}

TEST(RegDescBuild, MapsInsideARegisterTakeTheirFieldFromType) {
  std::string log;
  BlockPtr<_RegDesc> desc = Build(Wrap(R"(<Reg num="5" id="Ctrl">
        <Map id="Flag" type="bool:3"/><Map id="Field" type="mask:4:3"/><Map id="Sel" type="enum:0:2"/>
        <Map id="Odd" type="float"/><Map id="Short" type="bool"/>
      </Reg>
      <Map id="Wide" type="uint32"/><Map id="Bad" type="int"/>)"),
                                  &log);
  EXPECT_EQ(1, desc->regCount);
  EXPECT_EQ(7, desc->mapCount);
  EXPECT_EQ(Geometry({{3, 0x08}}), Entries(MapNamed(*desc, "Flag")));
  EXPECT_EQ(Geometry({{4, 0x70}}), Entries(MapNamed(*desc, "Field")));
  EXPECT_STREQ("MASK", MapKind(MapNamed(*desc, "Flag")));
  EXPECT_STREQ("MASK", MapKind(MapNamed(*desc, "Field")));
  EXPECT_EQ(Geometry({{0, 0x03}}), Entries(MapNamed(*desc, "Sel")));
  EXPECT_EQ(Geometry({{0, 0xFF}}), Entries(MapNamed(*desc, "Short")));  // no number: left as it was
  EXPECT_EQ(nullptr, MapNamed(*desc, "Wide").regEntries);
  EXPECT_EQ(
      " (2) dont know how to handle type float\n"
      "AddReg attribute failed: type=bool\n"
      " (1) dont know how to handle type int\n",
      log);
}

TEST(RegDescBuild, EnumerationsAndModeLetters) {
  std::string log;
  BlockPtr<_RegDesc> desc = Build(Wrap(R"(<Reg num="1" id="R"><Map id="Mode" type="enum:0:2" mode="vrah" cammode="027x9">
        <Enum num="0" id="Off"/><Enum num="0x1" id="On"/><Enum num="q"/>
      </Map></Reg>)"),
                                  &log);
  const _Map& mode = MapNamed(*desc, "Mode");
  EXPECT_STREQ("ENUM", MapKind(mode));
  EXPECT_EQ(15, mode.mode);
  EXPECT_EQ(0x85, mode.cammode);
  ASSERT_TRUE(mode.enumEntries && mode.enumEntries->next && mode.enumEntries->next->next);
  EXPECT_STREQ("Off", mode.enumEntries->name);
  EXPECT_EQ(1, mode.enumEntries->next->value);
  EXPECT_STREQ("", mode.enumEntries->next->next->name);
  EXPECT_EQ(0, mode.enumEntries->next->next->value);
  EXPECT_EQ("AddEnum attribute failed: num=q\n", log);
}

TEST(RegDescBuild, LinksReferToEarlierRegistersOnly) {
  std::string log;
  BlockPtr<_RegDesc> desc = Build(Wrap(R"(<Reg num="0x10" id="FrameCnt"/>
      <Map id="Linked"><Lnk id="FrameCnt" bit="-8:0xff"/><Lnk id="FrameCnt" bit="2"/><Lnk id="Later"/><Lnk/></Map>
      <Reg num="0x11" id="Later"/><Lnk id="FrameCnt"/><Enum num="1"/>)"),
                                  &log);
  const _Map& linked = MapNamed(*desc, "Linked");
  EXPECT_EQ(Geometry({{-8, 0xFF}, {2, 0xFF}}), Entries(linked));
  for (const regEntry* entry = linked.regEntries; entry; entry = entry->next)
    EXPECT_EQ(&desc->regs[0], entry->reg);
  EXPECT_EQ("Lnk to an undefined register skipped: Later\nLnk to an undefined register skipped: \n", log);
}

TEST(RegDescBuild, UnknownTagsAndAttributesAreReportedAndWalked) {
  std::string log;
  BlockPtr<_RegDesc> desc = Build(Wrap(R"(<Foo><Reg num="2" id="Inner" level="x" colour="red"/></Foo>
      <Reg num="zz" id="NoNum" min="-1"/>)"),
                                  &log);
  EXPECT_EQ(2, desc->regCount);
  EXPECT_EQ(1, MapNamed(*desc, "Inner").level);  // kept its previous value
  EXPECT_EQ(0, desc->regs[1].num);
  EXPECT_EQ(0xFFFFFFFFu, MapNamed(*desc, "NoNum").min);
  EXPECT_EQ(
      "Don't know how to handle tag: Foo\n"
      "AddReg attribute failed: level=x\n"
      " don't know how to handle attribute colour\n"
      "AddReg attribute failed: num=zz\n",
      log);
}

// Nesting the description language does not foresee must not overrun the block:
// both passes count the same objects (the sanitizer build checks the writes).
TEST(RegDescBuild, NestedRegistersAndMapsStayInsideTheBlock) {
  BlockPtr<_RegDesc> desc = Build(Wrap(R"(
      <Reg num="1" id="Outer"><Reg num="2" id="Inner"><Map id="M1" type="bool:1"><Map id="M2"><Reg num="3"/></Map>
        <Lnk id="Outer"/><Enum num="1" id="e"/></Map></Reg><Reg num="4" id="Leaf"/></Reg>
      <Map id="A"><Map id="B"><Reg num="5" id="R5"><Map id="C" type="bool:0"/></Reg></Map><Lnk id="R5"/></Map>)"));
  EXPECT_EQ(5, desc->regCount);
  EXPECT_STREQ("Leaf", desc->regs[3].id);
  EXPECT_EQ(Geometry({{1, 0x02}, {0, 0xFF}}), Entries(MapNamed(*desc, "M1")));
  EXPECT_EQ(Geometry({{0, 0xFF}}), Entries(MapNamed(*desc, "M2")));
  EXPECT_EQ(Geometry({{0, 0xFF}}), Entries(MapNamed(*desc, "A")));
  EXPECT_EQ(Geometry({{0, 0xFF}}), Entries(MapNamed(*desc, "B")));
  EXPECT_EQ(Geometry({{0, 0x01}}), Entries(MapNamed(*desc, "C")));
  EXPECT_TRUE(FindMap(desc.get(), "Leaf"));
  EXPECT_FALSE(FindMap(desc.get(), "Outer"));
}

TEST(RegDescBuild, TextsLiveInsideTheRecord) {
  BlockPtr<_RegDesc> desc = Build(Wrap(R"(<Reg num="9" id="A" cmt="first" group="G"/>)"));
  const char* begin = reinterpret_cast<const char*>(desc.get());
  const _Map& map = MapNamed(*desc, "A");
  EXPECT_STREQ("G", map.group);
  for (const char* text : {desc->regs[0].id, desc->regs[0].cmt, map.group})
    EXPECT_TRUE(text > begin && text < begin + 4096);
  EXPECT_EQ(desc->regs[0].id, map.id);  // the implicit map shares the register's texts
}

TEST(RegDescBuild, CountsAndTraces) {
  std::string log;
  Build(Wrap(R"(<Reg num="0x10" id="FrameCnt" mode="va" level="2" min="1" max="0x20" cmt="frames"/>
      <Map id="M" cmt="m"><Reg num="0x11" bit="8:4"/><Lnk id="FrameCnt" bit="-8:0xff"/><Enum num="2" id="two"/></Map>)"),
        &log, kRegVbCntTree | kRegVbCnt | kRegVbTreeParse);
  EXPECT_EQ(
      "-------------------- VB_CNT_TREE --------------------\n"
      "RegDesc\n  Reg\n  Map\n    Reg\n    Lnk\n    Enum\n"
      "-------------------- VB_CNT Object Counts --------------------\n"
      "reg:        2\nmap:       2\nregEntry:   3\nenumEntry:  1\nstrLen:     31\n"
      "-------------------- VB_TREE_PARSE --------------------\n"
      "RegDesc\n"
      "  Reg 0x10:FrameCnt             5 0  (NULL)  2 1:20  frames\n"
      "  Map M                   m\n"
      "    Reg 0x11:(NULL)               0 0  (NULL)  1 0:0  (NULL)\n"
      "    Lnk -8:0xff:FrameCnt\n"
      "    Enum 0x02:two\n",
      log);
}

TEST(RegDescListings, DumpRegDescShowsEveryMapKind) {
  BlockPtr<_RegDesc> desc = Build(Wrap(R"(<Reg num="0x10" id="FrameCnt" mode="va" level="2" max="0x20" cmt="frames"/>
      <Reg num="0x11" id="Ctrl"><Map id="Flag" type="bool:3" group="g"><Enum num="1" id="on"/></Map>
        <Map id="Bit" type="bool:0"/></Reg>
      <Map id="Wide"><Reg num="0x12" id="Lo" bit="0:8"/><Reg num="0x13" bit="8:8"/></Map>
      <Map id="Empty"/>)"));
  std::ostringstream out;
  DumpRegDesc(0xFFFFFFFF, out, desc.get());
  EXPECT_EQ(
      "\n-------------------- Registers:4 --------------------\n"
      "0x10 FrameCnt            frames\n"
      "0x11 Ctrl                (NULL)\n"
      "0x12 Lo                  (NULL)\n"
      "\n-------------------- Mappings:5 --------------------\n"
      "SMPL FrameCnt             5 0  (NULL)  2 0:20 frames\n"
      "ENUM Flag                 0 0  g  0 0:0 (NULL)\n"
      "MASK Bit                  0 0  (NULL)  0 0:0 (NULL)\n"
      "MULT Wide                 0 0  (NULL)  0 0:0 (NULL)\n"
      "???  Empty                0 0  (NULL)  0 0:0 (NULL)\n"
      "\n-------------------- Mapping-tree:5 --------------------\n"
      "P-0x10 FrameCnt             5 0  (NULL)  2 0:20 frames\n"
      "P-ENUM Flag                 0 0  g  0 0:0 (NULL)\n"
      "  R-0x11:3:0x08 Ctrl\n"
      "    E-0x01 on\n"
      "P-MASK Bit                  0 0  (NULL)  0 0:0 (NULL)\n"
      "  R-0x11:0:0x01 Ctrl\n"
      "P-MULT Wide                 0 0  (NULL)  0 0:0 (NULL)\n"
      "  R-0x12:0:0xff Lo\n"
      "  R-0x13:-8:0xff (NULL)\n"
      "This map has no RegEntry: ???  Empty                0 0  (NULL)  0 0:0 (NULL)\n",
      out.str());
}

TEST(RegDescBuild, EmptyDescription) {
  BlockPtr<_RegDesc> desc = Build("<RegDesc/>");
  EXPECT_EQ(0, desc->regCount);
  EXPECT_EQ(0, desc->mapCount);
}

}  // namespace
