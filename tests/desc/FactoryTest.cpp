#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "Orvex.h"
#include "api/Factory.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/TempDataFolder.h"
#include "desc/NameLookup.h"

using orvex_test::CallbackRecorder;
using orvex_test::TempDataFolder;

namespace {

constexpr uint32_t kOpenWarning = QV_MSG_VALUE(QV_CAT_OPEN, QV_LEVEL_WARNING);  // 0x302

const char* kSysDesc = R"(<SystemDesc>
  <System id="sim" fpga="F" sensor="N"/>
  <System id="a" fpga="F"/>
  <System id="b" fpga="G"/>
  <System id="cam" fpga="F" usb="U"/>
  <System id="bare"/>
  <FPGA id="F" regDesc="main.xml"/>
  <FPGA id="G" regDesc="other.xml"/>
  <Sensor id="N" size="280 292"/>
  <USB id="U" vendorID="0x0852" productID="0x0081" protocol="2"/>
</SystemDesc>)";

class FactoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.WriteFile("devDesc/SysDesc.xml", kSysDesc);
    folder_.WriteFile("devDesc/main.xml", R"(<RegDesc>
        <Reg num="0x10" id="Low"><Map id="Busy" type="bool:0" mode="v"/><Map id="Size" type="bool:1" mode="a"/></Reg>
        <Reg num="200" id="High"/>
      </RegDesc>)");
    folder_.WriteFile("devDesc/other.xml", "<RegDesc><Reg num=\"3\" id=\"Other\"/></RegDesc>");
  }
  void TearDown() override { orvex::CloseAllSystems(); }

  CPelSys* Build(const char* openString) { return CFactory::BuildSystem(openString); }

  TempDataFolder folder_;
  CallbackRecorder recorder_;
};

TEST(OpenString, TokensKeysAndValues) {
  using orvex::TokeniseOpenString;
  auto values = TokeniseOpenString("sys=a  fpga=F serial=123 sys=b verbose=0 regDesc= bogus=1 Sys=z");
  EXPECT_EQ("b", *values[orvex::kKeySys]);
  EXPECT_EQ("F", *values[orvex::kKeyFpga]);
  EXPECT_EQ("0", *values[orvex::kKeyVerbose]);
  EXPECT_EQ("", *values[orvex::kKeyRegDesc]);  // present and empty
  EXPECT_FALSE(values[orvex::kKeySensor]);

  // Only the first 255 characters count.
  std::string longString(245, 'x');
  longString += " usb=abcdefgh";
  values = TokeniseOpenString(longString.c_str());
  EXPECT_EQ("abcde", *values[orvex::kKeyUsb]);
  EXPECT_FALSE(TokeniseOpenString(nullptr)[orvex::kKeySys]);
}

TEST_F(FactoryTest, RegisterImageAttributesAndCameraInfo) {
  CPelSys* system = Build("sys=sim");
  ASSERT_TRUE(system);
  EXPECT_EQ(system, orvex::FirstOpenSystem());
  EXPECT_EQ("sys=sim", system->name);
  CPelCam& camera = *system->camera;
  EXPECT_EQ(201u, camera.RegisterCount());
  EXPECT_EQ(201u, camera.regAttr.size());
  EXPECT_EQ(5, camera.regAttr[0x10]);  // 'v' and 'a' maps on one register
  EXPECT_EQ(0, camera.regAttr[200]);
  EXPECT_EQ(orvex::kNotConnected, camera.interfaceKind);
  uint32_t size[2];
  std::memcpy(size, camera.camInfo + 8, sizeof size);
  EXPECT_EQ(280u, size[0]);
  EXPECT_EQ(292u, size[1]);
  EXPECT_EQ(0, camera.camInfo[0]);
}

TEST_F(FactoryTest, SelectionAndRegisterDescriptionChoice) {
  CPelSys* system = Build("sys=a sys=b");
  ASSERT_TRUE(system);
  EXPECT_STREQ("b", system->sysDesc->sysId);
  EXPECT_STREQ("Other", system->camera->regDesc->regs[0].id);
  EXPECT_EQ(4u, system->camera->RegisterCount());

  system = Build("sys=a regDesc=other.xml serial=77");
  ASSERT_TRUE(system);
  EXPECT_STREQ("Other", system->camera->regDesc->regs[0].id);
  EXPECT_EQ(nullptr, system->sysDesc->sensor);
  EXPECT_EQ(0, system->camera->camInfo[8]);
}

TEST_F(FactoryTest, EmptyRegisterDescriptionGivesOneRegister) {
  folder_.WriteFile("devDesc/empty.xml", "<RegDesc/>");
  CPelSys* system = Build("sys=sim regDesc=empty.xml");
  ASSERT_TRUE(system);
  EXPECT_EQ(1u, system->camera->RegisterCount());
}

// Diagnostics go to stderr: a program's stdout carries its own data.
TEST_F(FactoryTest, VerboseOfAnyValueDumpsBothDescriptions) {
  testing::internal::CaptureStderr();
  ASSERT_TRUE(Build("sys=sim verbose=0"));
  std::cerr.flush();
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, out.find("-------------------- VP_FIND --------------------"));
  EXPECT_NE(std::string::npos, out.find("-------------------- SYSDESC: sim --------------------"));
  EXPECT_NE(std::string::npos, out.find("-------------------- Mapping-tree:3 --------------------"));

  testing::internal::CaptureStderr();
  ASSERT_TRUE(Build("sys=sim"));
  std::cerr.flush();
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

TEST_F(FactoryTest, FailedBuildsReportAndLeaveTheListAsItWas) {
  ASSERT_TRUE(Build("sys=sim"));
  const size_t before = orvex::OpenSystemCount();

  testing::internal::CaptureStderr();
  EXPECT_EQ(nullptr, Build("sys=sim regDesc=missing.xml"));
  std::cerr.flush();
  const std::string out = testing::internal::GetCapturedStderr();
  const std::string missing = folder_.devDesc() + "/missing.xml";
  EXPECT_EQ("Cant parse File: " + missing + "\nFile was not found: at offset 0\n", out);
  EXPECT_TRUE(recorder_.contains(QV_MSG_TEXT, kOpenWarning, "Could not open or parse file " + missing));

  EXPECT_EQ(nullptr, Build("sys=bare"));
  EXPECT_TRUE(recorder_.contains(
      QV_MSG_TEXT, kOpenWarning,
      "CFactory::BuildSysVA(): no register description: neither regDesc= nor an FPGA entry naming one"));

  folder_.WriteFile("devDesc/SysDesc.xml", "<SystemDesc>");
  testing::internal::CaptureStdout();
  EXPECT_EQ(nullptr, Build("sys=sim"));
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(recorder_.contains(QV_MSG_TEXT, kOpenWarning,
                                 "Could not open or parse file " + folder_.devDesc() + "/SysDesc.xml"));
  EXPECT_EQ(before, orvex::OpenSystemCount());
}

TEST_F(FactoryTest, QvOpenModes) {
  QV_Handle handle = reinterpret_cast<QV_Handle>(1);
  EXPECT_EQ(1, QV_Open(&handle, QV_OPEN_USB, "sys=sim"));
  EXPECT_TRUE(orvex::IsOpenSystem(handle));
  EXPECT_EQ(0, QV_Close(handle));

  EXPECT_EQ(1, QV_Open(&handle, QV_OPEN_USB_NO_FPGA, "sys=sim"));
  EXPECT_EQ(0, QV_Close(handle));

  recorder_.clear();
  handle = reinterpret_cast<QV_Handle>(1);
  EXPECT_EQ(0, QV_Open(&handle, 5, "sys=sim"));
  EXPECT_EQ(nullptr, handle);
  EXPECT_TRUE(recorder_.messages().empty());
  EXPECT_EQ(0, QV_Open(nullptr, QV_OPEN_USB, "sys=sim"));
  EXPECT_EQ(0u, orvex::OpenSystemCount());
}

TEST_F(FactoryTest, SystemWithUsbEntryFailsWithoutACameraAndLeavesNothing) {
  // The test emulator (first in the library search path) would offer a camera.
  using Configure = int (*)(const char*, char*, size_t);
  void* usb = dlopen("libusb-0.1.so.4", RTLD_NOW);
  auto configure = usb ? reinterpret_cast<Configure>(dlsym(usb, "orvex_emu_configure")) : nullptr;
  if (configure) configure("cameras = 0", nullptr, 0);
  QV_Handle handle = reinterpret_cast<QV_Handle>(1);
  EXPECT_EQ(0, QV_Open(&handle, QV_OPEN_USB, "sys=cam"));
  if (configure) configure(nullptr, nullptr, 0);
  EXPECT_EQ(nullptr, handle);
  EXPECT_EQ(0u, orvex::OpenSystemCount());
  EXPECT_TRUE(recorder_.contains(QV_MSG_TEXT, QV_MSG_VALUE(QV_CAT_OPEN, QV_LEVEL_WARNING),
                                 "CFactory::BuildSysVA(): Could not open any USB device"));

  EXPECT_EQ(0, QV_Open(&handle, QV_OPEN_STREAM, "/nonexistent.qv"));
  EXPECT_EQ(nullptr, handle);
  EXPECT_EQ(0u, orvex::OpenSystemCount());
}

// Points the data folder at the source tree's data/ for one test: the files
// work without being installed.
class SourceDataFolder {
 public:
  SourceDataFolder() {
    const char* previous = std::getenv("XDG_DATA_DIRS");
    if (previous) previous_ = previous;
    had_ = previous != nullptr;
    setenv("XDG_DATA_DIRS", ORVEX_SOURCE_DIR "/data", 1);
  }
  ~SourceDataFolder() {
    if (had_)
      setenv("XDG_DATA_DIRS", previous_.c_str(), 1);
    else
      unsetenv("XDG_DATA_DIRS");
  }

 private:
  std::string previous_;
  bool had_ = false;
};

TEST(ShippedData, SystemWithoutUsbOpensAndNamesEveryMapOthersUse) {
  SourceDataFolder folder;
  CallbackRecorder recorder;
  QV_Handle handle = nullptr;
  ASSERT_EQ(1, QV_Open(&handle, QV_OPEN_USB, "sys=k7cam_sim"));
  const _SysDesc* sysDesc = QV_GetSysDesc(handle);
  ASSERT_TRUE(sysDesc && sysDesc->fpga && sysDesc->sensor);
  EXPECT_EQ(nullptr, sysDesc->usb);
  EXPECT_EQ(280, sysDesc->sensor->size[0]);
  EXPECT_EQ(292, sysDesc->sensor->size[1]);

  _RegDesc* regDesc = QV_GetRegDesc(handle);
  ASSERT_TRUE(regDesc);
  // Values the test program writes must survive the map widths.
  const std::pair<const char*, uint32_t> settings[] = {
      {"CamMode", 7},  {"Comp11to8", 1},      {"SensNFrames", 544}, {"SensNDarkFrames", 2},  {"SensExpRatio", 4},
      {"SensTqp", 4000}, {"SensNavM2", 20},   {"BSEnable", 1},      {"CalDur1Cyc", 1},       {"SensOffCompDur", 35},
      {"SensDeltaExp", 1000}, {"AcqStop", 1}, {"TrigFreeExtN", 1},  {"TrigExtSrcSel", 3},    {"DdsGain", 2},
      {"SoftRes", 1},  {"IterCtrl", 2},       {"IterMaxFrac", 2},   {"ExSimpMaxHwin", 10},   {"SensCfgBusy", 1}};
  for (const auto& [name, value] : settings) {
    _Map* map = nullptr;
    for (uint16_t i = 0; i < regDesc->mapCount; ++i)
      if (std::strcmp(regDesc->maps[i].id, name) == 0) map = &regDesc->maps[i];
    ASSERT_TRUE(map) << name;
    EXPECT_EQ(0, QV_SetMap(handle, map, value));
    EXPECT_EQ(value, QV_GetMap(handle, map)) << name;
  }
  bool hasHwinRegister = false;
  for (uint16_t i = 0; i < regDesc->regCount; ++i)
    hasHwinRegister |= std::strcmp(regDesc->regs[i].id, "ExSimpMaxHwin") == 0;
  EXPECT_TRUE(hasHwinRegister);
  EXPECT_EQ(0, QV_Close(handle));
  EXPECT_TRUE(recorder.messages().empty());
}

TEST(ShippedData, CameraSystemSelectsTheUsbEntry) {
  SourceDataFolder folder;
  CallbackRecorder recorder;
  CPelSys* system = CFactory::BuildSystem("sys=k7cam_tq20");
  ASSERT_TRUE(system);
  const _SysDesc& desc = *system->sysDesc;
  ASSERT_TRUE(desc.usb && desc.fpga);
  EXPECT_EQ(0x0852, desc.usb->vendorID);
  EXPECT_EQ(0x0081, desc.usb->productID);
  EXPECT_EQ(2, desc.usb->protocol);
  EXPECT_STREQ("k7_fx2.iic", desc.usb->fx2FW);
  EXPECT_STREQ("k7_tq20.bit", desc.fpga->fpgaCfg);
  EXPECT_EQ(0x82, desc.usb->epRead);
  // Writing a register of a size-changing map drops the acquisition buffer;
  // the busy flag is read through to the camera.
  const _RegDesc* regDesc = system->camera->regDesc.get();
  auto attribute = [&](const char* map) {
    return system->camera->regAttr[orvex::FindMap(regDesc, map)->regEntries->reg->num];
  };
  for (const char* map : {"CamMode", "Comp11to8", "SensNFrames", "SensNDarkFrames", "ExSimpMaxHwin"})
    EXPECT_TRUE(attribute(map) & orvex::kAttrReleasesAcq) << map;
  EXPECT_TRUE(attribute("SensCfgBusy") & orvex::kAttrReadThrough);
  EXPECT_FALSE(attribute("SensTqp") & (orvex::kAttrReadThrough | orvex::kAttrReleasesAcq));
  orvex::CloseSystem(system);
  EXPECT_TRUE(recorder.messages().empty());
}

}  // namespace
