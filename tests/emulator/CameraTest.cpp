// The virtual controller: boot, RAM upload and re-enumeration, command
// packets and device-side register behaviour.
#include <gtest/gtest.h>

#include <cstring>

#include "VirtualCamera.h"

using namespace orvex_emu;

namespace {

std::vector<uint8_t> Command(std::initializer_list<uint8_t> prefix, uint8_t fill = 0) {
  std::vector<uint8_t> packet(64, fill);
  std::copy(prefix.begin(), prefix.end(), packet.begin());
  return packet;
}

// One command transaction; the response (empty when none came).
std::vector<uint8_t> Transact(VirtualCamera& camera, std::vector<uint8_t> packet) {
  camera.BulkWrite(0x01, packet.data(), int(packet.size()));
  int n = camera.BulkRead(0x81, packet.data(), 64);
  if (n < 0) return {};
  packet.resize(size_t(n));
  return packet;
}

TEST(VirtualController, BootsFromItsEepromOrStaysABareFx2) {
  CameraConfig config = DefaultCamera(0);
  VirtualCamera camera(0, config);
  EXPECT_TRUE(camera.FirmwareRunning());
  EXPECT_EQ(camera.VendorId(), 0x0852);
  EXPECT_EQ(camera.ProductId(), 0x0081);
  EXPECT_TRUE(camera.HasSerialString());

  config.eeprom = EepromContent::Blank;
  VirtualCamera bare(0, config);
  EXPECT_FALSE(bare.FirmwareRunning());
  EXPECT_EQ(bare.VendorId(), 0x04B4);
  EXPECT_EQ(bare.ProductId(), 0x8613);
  EXPECT_FALSE(bare.HasSerialString());
  uint8_t packet[64] = {0xAB};
  EXPECT_LT(bare.BulkWrite(0x01, packet, 64), 0);  // no firmware, no endpoints
}

TEST(VirtualController, RamUploadStartsAfterReset) {
  CameraConfig config = DefaultCamera(0);
  config.eeprom = EepromContent::Blank;
  VirtualCamera camera(0, config);
  std::vector<uint8_t> code = BuildControllerCode({}, "UP");
  uint8_t hold = 1, run = 0;
  camera.ControlTransfer(0x40, 0xA0, 0xE600, 0, &hold, 1);
  for (size_t at = 0; at < code.size(); at += 512)
    camera.ControlTransfer(0x40, 0xA0, int(at), 0, code.data() + at, 512);
  camera.ControlTransfer(0x40, 0xA0, 0xE600, 0, &run, 1);
  EXPECT_FALSE(camera.FirmwareRunning());  // still enumerated as before
  unsigned generation = camera.Generation();
  camera.Reset();
  EXPECT_NE(camera.Generation(), generation);
  EXPECT_TRUE(camera.FirmwareRunning());
  std::vector<uint8_t> serial = camera.StringDescriptor(3);
  EXPECT_EQ(serial, (std::vector<uint8_t>{6, 3, 'U', 0, 'P', 0}));
  // Writes beyond the controller RAM are ignored, not stored anywhere.
  uint8_t byte = 0x55;
  EXPECT_EQ(camera.ControlTransfer(0x40, 0xA0, 0xFFFF, 0, &byte, 1), 1);
}

TEST(VirtualController, RegistersAnswerOnlyWithAConfiguredFpga) {
  CameraConfig config = DefaultCamera(0);
  VirtualCamera camera(0, config);
  EXPECT_TRUE(Transact(camera, Command({0xAB, 0x07, 0x80, 0x10, 0x05})).empty());
  std::vector<uint8_t> stream = BuildBitstream(100, 1);
  EXPECT_EQ(Transact(camera, Command({0xAB, 0x0B, 0x80}))[3], 0);
  camera.BulkWrite(0x08, stream.data(), int(stream.size()));
  EXPECT_EQ(Transact(camera, Command({0xAB, 0x0B, 0x82}))[3], 0);
  EXPECT_TRUE(camera.FpgaConfigured());
  std::vector<uint8_t> ack = Transact(camera, Command({0xAB, 0x07, 0x80, 0x10, 0x05}));
  EXPECT_EQ(std::vector<uint8_t>(ack.begin(), ack.begin() + 4), (std::vector<uint8_t>{0xAB, 0x07, 0x80, 8}));
  std::vector<uint8_t> read = Transact(camera, Command({0xAB, 0x07, 0x81, 0x10}));
  EXPECT_EQ(std::vector<uint8_t>(read.begin(), read.begin() + 7),
            (std::vector<uint8_t>{0xAB, 0x07, 0x81, 0x10, 0x05, 8, 8}));
}

TEST(VirtualController, BusyFlagClearsAfterReadsAndCounterCounts) {
  CameraConfig config = DefaultCamera(0);
  config.fpgaConfigured = true;
  config.busy = {true, 0x20, 0x01, 2};
  config.counterRegister = 0x21;
  VirtualCamera camera(0, config);
  Transact(camera, Command({0xAB, 0x07, 0x80, 0x10, 0x05}));
  std::vector<int> busy;
  for (int i = 0; i < 4; ++i) busy.push_back(Transact(camera, Command({0xAB, 0x07, 0x81, 0x20}))[4]);
  EXPECT_EQ(busy, (std::vector<int>{1, 1, 0, 0}));
  EXPECT_EQ(Transact(camera, Command({0xAB, 0x07, 0x81, 0x21}))[4], 0);
  EXPECT_EQ(Transact(camera, Command({0xAB, 0x07, 0x81, 0x21}))[4], 1);
}

TEST(VirtualController, EepromCommandsAndTheirFaults) {
  CameraConfig config = DefaultCamera(0);
  config.faults.eepromReadbackErrors = {1, 1};
  VirtualCamera camera(0, config);
  std::vector<uint8_t> write = Command({0xAB, 0x0E, 0x80, 0x51, 2, 0x01, 0x00, 0x11, 0x22}, 0xCD);
  EXPECT_EQ(Transact(camera, write)[7], 8);
  std::vector<uint8_t> read = Transact(camera, Command({0xAB, 0x0D, 0x80, 0x51, 2, 0x01, 0x00}, 0xCD));
  EXPECT_EQ(read[9], 0x11);
  EXPECT_EQ(read[10], 0x22);
  read = Transact(camera, Command({0xAB, 0x0D, 0x80, 0x51, 2, 0x01, 0x00}, 0xCD));
  EXPECT_NE(read[9], 0x11);  // the injected read-back error
  // A chunk above 48 bytes or another I2C address is refused.
  EXPECT_EQ(Transact(camera, Command({0xAB, 0x0D, 0x80, 0x51, 49, 0, 0}, 0xCD))[7], 0);
  EXPECT_EQ(Transact(camera, Command({0xAB, 0x0D, 0x80, 0x50, 1, 0, 0}, 0xCD))[7], 0);
}

TEST(VirtualController, DataEndpointFaults) {
  CameraConfig config = DefaultCamera(0);
  config.fpgaConfigured = true;
  config.faults.zeroReads = {0, 1};
  config.faults.readErrors = {0, 1};
  VirtualCamera camera(0, config);
  std::vector<uint8_t> buffer(8192);
  EXPECT_EQ(camera.BulkRead(0x82, buffer.data(), int(buffer.size())), kErrIo);
  EXPECT_EQ(camera.BulkRead(0x82, buffer.data(), int(buffer.size())), 0);
  camera.Config().faults.unplug = {1, 1};
  EXPECT_GT(camera.BulkRead(0x82, buffer.data(), int(buffer.size())), 0);
  EXPECT_EQ(camera.BulkRead(0x82, buffer.data(), int(buffer.size())), kErrNoDevice);
  EXPECT_FALSE(camera.Plugged());
  camera.PowerUp();
  EXPECT_GT(camera.BulkRead(0x82, buffer.data(), int(buffer.size())), 0);
}

TEST(VirtualController, ShippedRegisterDescriptionGivesBusyFlagsAndFrameCounter) {
  RegisterModel model;
  ASSERT_TRUE(LoadRegisterModel(ORVEX_SOURCE_DIR "/data/Tavrin/devDesc/RegDesc_k7_tq20.xml", 3, model));
  EXPECT_TRUE(model.busy.enabled);
  EXPECT_EQ(model.busy.address, 0x20);
  EXPECT_EQ(model.busy.mask, 0x03);
  EXPECT_EQ(model.busy.reads, 3);
  EXPECT_EQ(model.frameCounterLow, 0x21);
  EXPECT_EQ(model.frameCounterHigh, 0x22);
  EXPECT_FALSE(LoadRegisterModel("/nonexistent.xml", 3, model));

  CameraConfig config = DefaultCamera(0);
  config.fpgaConfigured = true;
  config.regdesc = ORVEX_SOURCE_DIR "/data/Tavrin/devDesc/RegDesc_k7_tq20.xml";
  config.registers = {{0x21, 0xFF}};
  VirtualCamera camera(0, config);
  Transact(camera, Command({0xAB, 0x07, 0x80, 0x10, 0x05}));
  EXPECT_EQ(Transact(camera, Command({0xAB, 0x07, 0x81, 0x20}))[4], 0x03);
  std::vector<uint8_t> buffer(8192);
  if (camera.BulkRead(0x82, buffer.data(), int(buffer.size())) > 0) {
    EXPECT_EQ(camera.Registers()[0x21], 0x00);  // the counter carries into its high byte
    EXPECT_EQ(camera.Registers()[0x22], 0x01);
  }
}

}  // namespace

namespace {

// The sensor FIFO behind 0x82 as a host's 16 KiB URBs see it: a whole
// acquisition paced at the link rate and ended by a short packet; a stall
// holds until the host clears it.
TEST(VirtualController, DataEndpointStreamsWholeAcquisitionsAtTheLinkRate) {
  CameraConfig config = DefaultCamera(0);
  config.fpgaConfigured = true;
  config.linkRate = 40e6;
  config.registers = {{0x03, 4}, {0x02, 4}};  // A16Z16, free running: 329216 bytes
  VirtualCamera camera(0, config);
  std::vector<uint8_t> urb(16384);
  Clock::time_point now = Clock::now();
  const Clock::time_point first = now;
  size_t received = 0, last = 0;
  camera.StartTransfer(0x82);
  for (int transfers = 0; transfers < 100; ++transfers) {
    DeviceAnswer answer = camera.BulkIn(0x82, urb.data(), int(urb.size()), now);
    while (answer.pending) {  // the link still carries the previous URB
      ASSERT_NE(answer.retryAt, Clock::time_point::max());
      now = answer.retryAt;
      answer = camera.BulkIn(0x82, urb.data(), int(urb.size()), now);
    }
    ASSERT_GE(answer.result, 0);
    received += last = size_t(answer.result);
    if (last < urb.size()) break;
    camera.StartTransfer(0x82);
  }
  EXPECT_EQ(received, 329216u);
  double seconds = std::chrono::duration<double>(now - first).count();
  EXPECT_NEAR(seconds, double(received - last) / 40e6, 1e-6);

  // Once the link is free: the next acquisition, exposed meanwhile; a stall holds until cleared.
  camera.Config().faults.stalls = {0, 1};
  now += std::chrono::milliseconds(1);
  camera.StartTransfer(0x82);
  EXPECT_EQ(camera.BulkIn(0x82, urb.data(), int(urb.size()), now).result, kErrPipe);
  EXPECT_EQ(camera.BulkIn(0x82, urb.data(), int(urb.size()), now).result, kErrPipe);
  camera.ClearHalt(0x82);
  EXPECT_EQ(camera.BulkIn(0x82, urb.data(), int(urb.size()), now).result, int(urb.size()));
}

}  // namespace
