// The fault matrix: each device operation against each fault the emulator can
// inject where the operation meets it. Every case checks the result, the exact
// messages, that nothing is left open and that the camera opens afterwards.
#include <cstring>
#include <vector>

#include "EmulatorHarness.h"
#include "FaultFixture.h"
#include "core/Messages.h"
#include "core/SystemList.h"
#include "desc/NameLookup.h"

using namespace orvex_test;

namespace faults {
namespace {

constexpr uint32_t kWarn = orvex::kMsgOpenWarning;
constexpr uint32_t kDebug = orvex::kMsgOpenDebug;
constexpr int kOpenFailed = 0;
constexpr int kOpened = 1;

const Text kNoDevice{kWarn, "CFactory::BuildSysVA(): Could not open any USB device"};
// Every configuration is a new bus: its first camera is device 1.
const Text kInUse{kWarn, "The camera at /dev/bus/usb/001/001 is in use by another program."};
const Text kUploadFailed{kWarn, "CFactory::BuildSysVA(): upload firmware failed"};
const Text kFpgaFailed{kWarn, "FPGA download failed: tried 8 times."};
const Text kGetAllRegFailed{kWarn, "CFactory::BuildSysVA(): GetAllReg failed"};
// Shown for every firmware image that is loaded (its boot header).
const Text kImageInfo{kDebug, "VID   : 0x0852\nPID   : 0x0081\nDEVID : 0x0001\nCONFIG: 0x04\n"};

std::vector<Text> Repeat(const Text& text, int times) { return std::vector<Text>(size_t(times), text); }
std::vector<Text> Join(std::vector<Text> a, const std::vector<Text>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// ---------------------------------------------------------------- firmware upload

class OpenWithFirmwareUpload : public FaultTest {};

TEST_P(OpenWithFirmwareUpload, UnderFault) {
  StartCamera("eeprom = blank\n");
  InjectFaults();
  ExpectOpen(0);
  ExpectReported();
  ExpectNothingLeftOpen();
  ExpectHealthyOpenWorks();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, OpenWithFirmwareUpload,
    ::testing::Values(
        FaultCase{"FirmwareNeverStarts", "firmware_failures = always", kOpenFailed,
                  {kImageInfo, kImageInfo, kImageInfo, kNoDevice}},
        FaultCase{"FirmwareStartsAtSecondUpload", "firmware_failures = 1", kOpened, {kImageInfo, kImageInfo}},
        FaultCase{"DeviceCannotBeOpened", "open_failures = always", kOpenFailed, {kNoDevice}},
        FaultCase{"InterfaceAlreadyClaimed", "claim_failures = always", kOpenFailed, {kInUse, kNoDevice}},
        FaultCase{"InterfaceClaimedOnce", "claim_failures = 1", kOpenFailed, {kInUse, kNoDevice}},
        FaultCase{"ReopenAfterRenumerationRefused", "open_failures = 1+always", kOpenFailed, {kImageInfo, kNoDevice}},
        FaultCase{"UnpluggedAfterUpload", "unplug = 0+1", kOpenFailed,
                  Join({kImageInfo}, Join(Repeat({kDebug, "FPGACfgStart: res -19 bufCmd[3] 0"}, 8), {kFpgaFailed, kUploadFailed}))},
        FaultCase{"NoResponseAfterUpload", "drop_responses = always", kOpenFailed,
                  Join({kImageInfo},
                       Join(Repeat({kDebug, "FPGACfgStart: res -110 bufCmd[3] 0"}, 8), {kFpgaFailed, kUploadFailed}))}),
    CaseName);

// ---------------------------------------------------------------- FPGA download

class FpgaDownload : public FaultTest {};

TEST_P(FpgaDownload, UnderFault) {
  StartCamera("");
  InjectFaults();
  ExpectOpen(0);
  ExpectReported();
  ExpectNothingLeftOpen();
  ExpectHealthyOpenWorks();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FpgaDownload,
    ::testing::Values(
        FaultCase{"NoResponse", "drop_responses = always", kOpenFailed,
                  Join(Repeat({kDebug, "FPGACfgStart: res -110 bufCmd[3] 0"}, 8), {kFpgaFailed, kUploadFailed})},
        FaultCase{"OneResponseLost", "drop_responses = 1", kOpened,
                  {{kDebug, "FPGACfgStart: res -110 bufCmd[3] 0"},
                   {kDebug, "FPGA download succeeded. But there were 1 download failure before."}}},
        FaultCase{"RefusedAcknowledgement", "nak_responses = always", kOpenFailed,
                  Join(Repeat({kDebug, "FPGACfgStart: res 64 bufCmd[3] 1"}, 8), {kFpgaFailed, kUploadFailed})},
        FaultCase{"OneRefusal", "nak_responses = 1", kOpened,
                  {{kDebug, "FPGACfgStart: res 64 bufCmd[3] 1"},
                   {kDebug, "FPGA download succeeded. But there were 1 download failure before."}}},
        FaultCase{"ShortResponses", "short_responses = always", kOpenFailed, {kFpgaFailed, kUploadFailed}},
        // The verification read does not look at the command bytes; the first
        // register read of the open does.
        FaultCase{"GarbledResponses", "garbled_responses = always", kOpenFailed,
                  {{kWarn, "CPelCam::GetAllReg(): reg[0]=0 failed"}, kGetAllRegFailed}},
        FaultCase{"VerificationFails", "fpga_verify_failures = always", kOpenFailed,
                  Join(Repeat({kDebug, "FPGACfgComplete: res 64 bufCmd[3] 1"}, 8), {kFpgaFailed, kUploadFailed})},
        FaultCase{"VerificationFailsTwice", "fpga_verify_failures = 2", kOpened,
                  {{kDebug, "FPGACfgComplete: res 64 bufCmd[3] 1"},
                   {kDebug, "FPGACfgComplete: res 64 bufCmd[3] 1"},
                   {kDebug, "FPGA download succeeded. But there were 2 download failure before."}}},
        FaultCase{"UnpluggedMidStream", "unplug = 3+1", kOpenFailed,
                  Join({{kDebug, "FPGACfgComplete: res -19 bufCmd[3] 0"}},
                       Join(Repeat({kDebug, "FPGACfgStart: res -19 bufCmd[3] 0"}, 7), {kFpgaFailed, kUploadFailed}))},
        FaultCase{"StreamTimesOutOnce", "write_timeouts = 1+1", kOpened,
                  {{kDebug, "FPGACfgComplete: res 64 bufCmd[3] 1"},
                   {kDebug, "FPGA download succeeded. But there were 1 download failure before."}}},
        FaultCase{"EveryWriteTimesOut", "write_timeouts = always", kOpenFailed,
                  Join(Repeat({kDebug, "FPGACfgStart: res -110 bufCmd[3] 0"}, 8), {kFpgaFailed, kUploadFailed})}),
    CaseName);

// ---------------------------------------------------------------- read all (open)

class ReadAllRegisters : public FaultTest {};

TEST_P(ReadAllRegisters, UnderFault) {
  StartCamera("fpga = configured\nregister = 0x00:0x05\n");
  InjectFaults();
  ExpectOpen(2);
  ExpectReported();
  ExpectNothingLeftOpen();
  ExpectHealthyOpenWorks();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReadAllRegisters,
    ::testing::Values(
        FaultCase{"NoResponse", "drop_responses = always", kOpenFailed,
                  {{kWarn, "CPelCam::GetAllReg(): reg[0]=0 failed"}, kGetAllRegFailed}},
        FaultCase{"TimeOutMidway", "drop_responses = 10+1", kOpenFailed,
                  {{kWarn, "CPelCam::GetAllReg(): reg[21]=0 failed"}, kGetAllRegFailed}},
        FaultCase{"RequestTimesOut", "write_timeouts = 5+1", kOpenFailed,
                  {{kWarn, "CPelCam::GetAllReg(): reg[16]=0 failed"}, kGetAllRegFailed}},
        FaultCase{"RefusedAcknowledgement", "nak_responses = always", kOpenFailed,
                  {{kWarn, "CPelCam::GetAllReg(): reg[0]=5 failed"}, kGetAllRegFailed}},
        FaultCase{"GarbledResponse", "garbled_responses = 3+1", kOpenFailed,
                  {{kWarn, "CPelCam::GetAllReg(): reg[3]=0 failed"}, kGetAllRegFailed}},
        // Half a response still holds every byte that is checked and used.
        FaultCase{"ShortResponses", "short_responses = always", kOpened, {}},
        FaultCase{"UnpluggedMidway", "unplug = 20+1", kOpenFailed,
                  {{kWarn, "CPelCam::GetAllReg(): reg[21]=0 failed"}, kGetAllRegFailed}}),
    CaseName);

// ---------------------------------------------------------------- open camera

// Operations on an open camera: the call fails, the system stays usable
// (or at least closable) and closes without leaving anything behind.
class OnOpenCamera : public FaultTest {
 protected:
  void Open() {
    StartCamera("fpga = configured\nregister = 0x00:0x05\n");
    handle = OpenHealthy(2);
    ASSERT_NE(handle, nullptr);
  }
  void CloseAndCheck() {
    EXPECT_EQ(QV_Close(handle), 0);
    ExpectNothingLeftOpen();
    ExpectHealthyOpenWorks();
  }
  QV_Handle handle = nullptr;
};

const Text kGetRegFailed{kWarn, "CPelCam::GetReg(): failed"};
const Text kSetRegFailed{kWarn, "CPelCam::SetReg(): failed"};

class RegisterRead : public OnOpenCamera {};

TEST_P(RegisterRead, UnderFault) {
  Open();
  InjectFaults();
  EXPECT_EQ(QV_GetReg(handle, 0x00), GetParam().result);
  ExpectReported();
  CloseAndCheck();
}

// A refused or garbled response still carries the value in byte 4; when
// nothing arrived the request's zero is returned. Half a response holds every
// byte that is checked and used, so it counts.
INSTANTIATE_TEST_SUITE_P(
    Faults, RegisterRead,
    ::testing::Values(FaultCase{"NoResponse", "drop_responses = 1", 0, {kGetRegFailed}},
                      FaultCase{"RequestTimesOut", "write_timeouts = 1", 0, {kGetRegFailed}},
                      FaultCase{"RefusedAcknowledgement", "nak_responses = 1", 5, {kGetRegFailed}},
                      FaultCase{"GarbledResponse", "garbled_responses = 1", 5, {kGetRegFailed}},
                      FaultCase{"ShortResponse", "short_responses = 1", 5, {}},
                      FaultCase{"Unplugged", "unplug = 0+1", 0, {kGetRegFailed}}),
    CaseName);

class RegisterWrite : public OnOpenCamera {};

TEST_P(RegisterWrite, UnderFault) {
  Open();
  InjectFaults();
  EXPECT_EQ(QV_SetReg(handle, 0x03, 0x2A), GetParam().result);
  ExpectReported();
  // The register image keeps what the application asked for.
  EXPECT_EQ(QV_GetReg(handle, 0x03), 0x2A);
  CloseAndCheck();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RegisterWrite,
    ::testing::Values(FaultCase{"NoResponse", "drop_responses = 1", 0, {kSetRegFailed}},
                      FaultCase{"RequestTimesOut", "write_timeouts = 1", 0, {kSetRegFailed}},
                      FaultCase{"RefusedAcknowledgement", "nak_responses = 1", 0, {kSetRegFailed}},
                      FaultCase{"GarbledResponse", "garbled_responses = 1", 0, {kSetRegFailed}},
                      FaultCase{"ShortResponse", "short_responses = 1", 0, {}},
                      FaultCase{"Unplugged", "unplug = 0+1", 0, {kSetRegFailed}}),
    CaseName);

// ---------------------------------------------------------------- acquisition

constexpr int64_t kWholeAcquisition = -1000;  // the size of a healthy acquisition
constexpr int64_t kHalfAcquisition = -1001;

class Acquisition : public OnOpenCamera {
 protected:
  void Set(const char* name, uint32_t value) {
    _Map* map = orvex::FindMap(QV_GetRegDesc(handle), name);
    ASSERT_NE(map, nullptr) << name;
    ASSERT_EQ(QV_SetMap(handle, map, value), 0) << name;
  }
};

TEST_P(Acquisition, UnderFault) {
  Open();
  Set("AcqStop", 0);
  Set("TrigFreeExtN", 1);
  int32_t whole = QV_Acquire(handle);
  ASSERT_GT(whole, 0);
  recorder.clear();
  InjectFaults();
  int64_t expected = GetParam().result;
  if (expected == kWholeAcquisition) expected = whole;
  if (expected == kHalfAcquisition) expected = whole / 2;
  EXPECT_EQ(QV_Acquire(handle), expected);
  ExpectReported();
  EXPECT_EQ(recorder.count(QV_MSG_ACQ_BEGIN), 0u);  // the slot record is kept
  CloseAndCheck();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, Acquisition,
    ::testing::Values(FaultCase{"TransferError", "read_errors = 1", -5, {}},
                      FaultCase{"TimeOut", "read_timeouts = 1", -110, {}},
                      FaultCase{"EmptyTransfersThenData", "zero_reads = 3", kWholeAcquisition, {}},
                      FaultCase{"OnlyEmptyTransfers", "zero_reads = always", -110, {}},
                      FaultCase{"ShortTransfer", "short_reads = 1", kHalfAcquisition, {}},
                      FaultCase{"Unplugged", "unplug = 0+1", -19, {}}),
    CaseName);

// ---------------------------------------------------------------- EEPROM and serial

// The service functions take the first device that can be opened and give it
// back; no system is involved.
class Service : public FaultTest {
 protected:
  void SetUp() override {
    FaultTest::SetUp();
    StartCamera("");
  }
  std::vector<uint8_t> DeviceEeprom(uint32_t count) {
    std::vector<uint8_t> bytes(count);
    Emulator()->readEeprom(0, 0, bytes.data(), count);
    return bytes;
  }
};

class EepromRead : public Service {};

TEST_P(EepromRead, UnderFault) {
  std::vector<uint8_t> device = DeviceEeprom(256);
  InjectFaults();
  std::vector<uint8_t> buffer(256, 0x5A);
  EXPECT_EQ(QV_InternalFunc(IF_ReadFX2_EEPROM, 0u, buffer.data(), 256u), GetParam().result);
  ExpectReported();
  if (GetParam().result == 0) {
    // A corrupted byte cannot be told from a good one: the EEPROM has no check.
    if (std::strcmp(GetParam().name, "ReadBackCorrupted") == 0) device[0] ^= 0xFF;
    EXPECT_EQ(buffer, device);
  }
  ExpectNothingLeftOpen();
  ExpectHealthyOpenWorks();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, EepromRead,
    ::testing::Values(FaultCase{"NoResponse", "drop_responses = 2+1", -1, {}},
                      FaultCase{"RequestTimesOut", "write_timeouts = 1+1", -1, {}},
                      FaultCase{"RefusedAcknowledgement", "nak_responses = 1", -1, {}},
                      FaultCase{"ShortResponse", "short_responses = 1", -1, {}},
                      FaultCase{"GarbledResponse", "garbled_responses = 1", 0, {}},
                      FaultCase{"ReadBackCorrupted", "eeprom_readback_errors = 1", 0, {}},
                      FaultCase{"UnpluggedMidway", "unplug = 4+1", -1, {}},
                      FaultCase{"DeviceCannotBeOpened", "open_failures = always", -1, {}},
                      FaultCase{"InterfaceAlreadyClaimed", "claim_failures = always", -1, {}}),
    CaseName);

class EepromWrite : public Service {};

TEST_P(EepromWrite, UnderFault) {
  std::vector<uint8_t> before = DeviceEeprom(4096);
  InjectFaults();
  EXPECT_EQ(QV_InternalFunc(IF_WriteFX2_EEPROM, "k7_fx2.iic"), GetParam().result);
  ExpectReported();
  ExpectNothingLeftOpen();
  // A failed write never leaves an image that boots: untouched, or boot byte 0.
  std::vector<uint8_t> after = DeviceEeprom(4096);
  if (after != before) {
    EXPECT_EQ(after[0], 0x00);
  }
  // Whatever the write left in the EEPROM, the camera comes back after a
  // power cycle: the boot byte is written last, so a broken image never boots.
  Emulator()->replug(0);
  ExpectHealthyOpenWorks();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, EepromWrite,
    ::testing::Values(FaultCase{"NoResponse", "drop_responses = 4+1", -1, {kImageInfo}, "Failed"},
                      FaultCase{"VerifyRequestTimesOut", "write_timeouts = 1+1", -2, {kImageInfo}, "Failed"},
                      FaultCase{"RefusedAcknowledgement", "nak_responses = 1", -1, {kImageInfo}, "Failed"},
                      FaultCase{"WriteRefused", "eeprom_write_naks = 2+1", -1, {kImageInfo}, "Failed"},
                      // 44 chunks, then the boot byte.
                      FaultCase{"BootByteWriteRefused", "eeprom_write_naks = 44+1", -1, {kImageInfo}, "Failed"},
                      FaultCase{"ReadBackCorrupted", "eeprom_readback_errors = 3+1", -2, {kImageInfo}, "Failed"},
                      FaultCase{"ShortResponse", "short_responses = 1+1", -2, {kImageInfo}, "Failed"},
                      FaultCase{"UnpluggedMidway", "unplug = 8+1", -1, {kImageInfo}, "Failed"},
                      FaultCase{"DeviceCannotBeOpened", "open_failures = always", -1, {kImageInfo}, "Failed"}),
    CaseName);

class SerialWrite : public Service {};

TEST_P(SerialWrite, UnderFault) {
  InjectFaults();
  EXPECT_EQ(QV_InternalFunc(IF_WriteSerial, "K7-NEW"), GetParam().result);
  ExpectReported();
  ExpectNothingLeftOpen();
  Emulator()->replug(0);
  ExpectHealthyOpenWorks();
}

const Text kNoSignature{kWarn, "failed to write Serial Number\nprobably wrong FX2-Firmware"};
const Text kSerialFailed{kWarn, "found string signature at 0x004c\nwrote new serial (14 bytes) at 0x0068\nFailed!"};

INSTANTIATE_TEST_SUITE_P(
    Faults, SerialWrite,
    ::testing::Values(FaultCase{"NoResponse", "drop_responses = always", 0, {kNoSignature}},
                      FaultCase{"RequestsTimeOut", "write_timeouts = always", 0, {kNoSignature}},
                      FaultCase{"RefusedAcknowledgement", "nak_responses = always", 0, {kNoSignature}},
                      FaultCase{"WriteRefused", "eeprom_write_naks = 1", 0, {kSerialFailed}},
                      FaultCase{"ReadBackCorrupted", "eeprom_readback_errors = 22+1", 0, {kSerialFailed}},
                      FaultCase{"UnpluggedWhileWriting", "unplug = 44+1", 0, {kSerialFailed}},
                      FaultCase{"DeviceCannotBeOpened", "open_failures = always", 0, {kNoSignature}}),
    CaseName);

}  // namespace
}  // namespace faults
