#include "FaultFixture.h"

#include <sstream>

#include "EmulatorHarness.h"
#include "core/SystemList.h"

using namespace orvex_test;

namespace faults {
namespace {

void Instantly(uint32_t) {}

// The keys of "key = value" lines.
std::vector<std::string> FaultKeys(const char* faults) {
  std::vector<std::string> keys;
  std::istringstream lines(faults ? faults : "");
  for (std::string line; std::getline(lines, line);) {
    size_t end = line.find_first_of(" =");
    if (end != 0 && !line.empty()) keys.push_back(line.substr(0, end));
  }
  return keys;
}

std::string Quoted(const std::vector<Text>& texts) {
  std::ostringstream out;
  for (const Text& t : texts) out << "\n  " << t;
  return out.str();
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Text& message) {
  return out << "0x" << std::hex << message.value << std::dec << " \"" << message.text << "\"";
}

void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }

std::string CaseName(const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; }

void FaultTest::SetUp() {
  previousSleep = orvex::ReplaceSleepFunction(&Instantly);
  folder.CopyShippedData();
  ASSERT_NE(Emulator(), nullptr);
}

void FaultTest::TearDown() {
  orvex::CloseAllSystems();
  orvex::ReplaceSleepFunction(previousSleep);
}

void FaultTest::StartCamera(const std::string& setup) { ConfigureEmulator(setup); }

void FaultTest::InjectFaults() {
  std::istringstream lines(GetParam().faults);
  for (std::string line; std::getline(lines, line);) {
    size_t equals = line.find('=');
    ASSERT_NE(equals, std::string::npos) << line;
    std::string key = line.substr(0, line.find_first_of(" =")), value = line.substr(equals + 1);
    value.erase(0, value.find_first_not_of(' '));
    ASSERT_EQ(Emulator()->set(0, key.c_str(), value.c_str()), 0) << line;
  }
}

QV_Handle FaultTest::OpenHealthy(uint32_t mode) {
  QV_Handle handle = nullptr;
  EXPECT_EQ(QV_Open(&handle, mode, "sys=k7cam_tq20"), 1) << Quoted(Texts());
  recorder.clear();
  return handle;
}

void FaultTest::ExpectOpen(uint32_t mode) {
  QV_Handle bystander = nullptr;
  ASSERT_EQ(QV_Open(&bystander, 0, "sys=k7cam_sim"), 1);
  recorder.clear();
  QV_Handle handle = reinterpret_cast<QV_Handle>(1);
  int32_t result = QV_Open(&handle, mode, "sys=k7cam_tq20");
  EXPECT_EQ(result, GetParam().result);
  if (result == 1) {
    EXPECT_EQ(orvex::OpenSystemCount(), 2u);
    EXPECT_EQ(QV_Close(handle), 0);
  } else {
    EXPECT_EQ(handle, nullptr);
  }
  EXPECT_EQ(orvex::FirstOpenSystem(), bystander);
  EXPECT_EQ(orvex::OpenSystemCount(), 1u);
  EXPECT_EQ(QV_Close(bystander), 0);
}

std::vector<Text> FaultTest::Texts() const {
  std::vector<Text> texts;
  for (const auto& m : recorder.messages())
    if (m.kind == QV_MSG_TEXT) texts.push_back({m.value, m.text});
  return texts;
}

std::string FaultTest::LastProgressClose() const {
  std::string last;
  for (const auto& m : recorder.messages())
    if (m.kind == QV_MSG_PROGRESS && (m.value & 0xFFFF) == QV_PROGRESS_CLOSE) last = m.text;
  return last;
}

void FaultTest::ExpectReported() {
  const FaultCase& fault = GetParam();
  EXPECT_EQ(Texts(), fault.texts) << "got:" << Quoted(Texts());
  if (fault.progressEnd) {
    EXPECT_EQ(LastProgressClose(), fault.progressEnd);
  }
}

void FaultTest::ExpectNothingLeftOpen() {
  EXPECT_EQ(orvex::OpenSystemCount(), 0u);
  int opened = 0, closed = 0, claimed = 0, released = 0;
  for (const OrvexEmuEvent& e : EmulatorLog()) {
    if (e.camera < 0) continue;
    if (e.kind == ORVEX_EMU_OPEN && e.result == 0) ++opened;
    if (e.kind == ORVEX_EMU_CLOSE) ++closed;
    if (e.kind == ORVEX_EMU_CLAIM && e.result == 0) ++claimed;
    if (e.kind == ORVEX_EMU_RELEASE) ++released;
  }
  EXPECT_EQ(opened, closed) << "device handles left open";
  EXPECT_EQ(claimed, released) << "interfaces left claimed";
}

void FaultTest::ExpectHealthyOpenWorks() {
  const EmulatorApi* emulator = Emulator();
  for (const std::string& key : FaultKeys(GetParam().faults)) {
    ASSERT_EQ(emulator->set(0, key.c_str(), "0"), 0) << key;
    if (key == "unplug") emulator->replug(0);
  }
  recorder.clear();
  QV_Handle handle = nullptr;
  EXPECT_EQ(QV_Open(&handle, 0, "sys=k7cam_tq20"), 1) << Quoted(Texts());
  EXPECT_EQ(orvex::OpenSystemCount(), 1u);
  EXPECT_EQ(QV_Close(handle), 0);
  EXPECT_EQ(orvex::OpenSystemCount(), 0u);
}

}  // namespace faults
