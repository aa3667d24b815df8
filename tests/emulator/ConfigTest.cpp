// The emulator's configuration text and our image formats.
#include <gtest/gtest.h>

#include "Config.h"
#include "Images.h"

using namespace orvex_emu;

namespace {

TEST(EmulatorConfig, GlobalKeysApplyToAllSectionsToOne) {
  EmulatorConfig config;
  std::string error;
  ASSERT_TRUE(ParseConfig("# two cameras\ncameras = 2\nfpga = configured\nlink_rate = 12.5\n[camera 1]\nserial = B  # x\n"
                          "eeprom = blank\ndrop_responses = 3+2\nbusy = 0x05:0x01:4\nlink_rate = unlimited\n",
                          config, error))
      << error;
  ASSERT_EQ(config.cameras.size(), 2u);
  EXPECT_EQ(config.cameras[0].serial, "OVX0001");
  EXPECT_TRUE(config.cameras[0].fpgaConfigured && config.cameras[1].fpgaConfigured);
  EXPECT_EQ(config.cameras[1].serial, "B");
  EXPECT_EQ(config.cameras[1].eeprom, EepromContent::Blank);
  EXPECT_EQ(config.cameras[1].faults.dropResponses.skip, 3);
  EXPECT_EQ(config.cameras[1].faults.dropResponses.count, 2);
  EXPECT_TRUE(config.cameras[1].busy.enabled);
  EXPECT_EQ(config.cameras[0].linkRate, 12.5e6);
  EXPECT_EQ(config.cameras[1].linkRate, 0.0);
  // A section beyond the count adds cameras.
  ASSERT_TRUE(ParseConfig("[camera 2]\n", config, error));
  EXPECT_EQ(config.cameras.size(), 3u);
  ASSERT_TRUE(ParseConfig("cameras = 0\n", config, error));
  EXPECT_TRUE(config.cameras.empty());
}

TEST(EmulatorConfig, MistakesAreRejectedWithTheLine) {
  EmulatorConfig config;
  std::string error;
  EXPECT_FALSE(ParseConfig("colour = red\n", config, error));
  EXPECT_FALSE(ParseConfig("link_rate = 0\n", config, error));
  EXPECT_FALSE(ParseConfig("link_rate = fast\n", config, error));
  EXPECT_NE(error.find("line 1"), std::string::npos);
  EXPECT_FALSE(ParseConfig("\nregister = 300:1\n", config, error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
  EXPECT_FALSE(ParseConfig("[camera x]\n", config, error));
  EXPECT_FALSE(ParseConfig("fpga = maybe\n", config, error));
  EXPECT_FALSE(ParseConfig("identity = 0x10000:1\n", config, error));
  EXPECT_FALSE(ParseConfig("nak_responses = -1\n", config, error));
  EXPECT_FALSE(ParseConfig("no equals sign\n", config, error));
}

TEST(FaultCounters, SkipThenCountThenNever) {
  FaultCounter counter{1, 2};
  std::vector<bool> taken;
  for (int i = 0; i < 5; ++i) taken.push_back(counter.Take());
  EXPECT_EQ(taken, (std::vector<bool>{false, true, true, false, false}));
  FaultCounter always{0, -1};
  EXPECT_TRUE(always.Take() && always.Take());
}

TEST(Images, ControllerCodeCarriesIdentityAndSerial) {
  FirmwareIdentity identity{0x1481, 0x0004, 0x0203};
  std::vector<uint8_t> code = BuildControllerCode(identity, "SERIAL-12345678901234");
  FirmwareIdentity found;
  std::string serial;
  ASSERT_TRUE(CheckControllerCode(code.data(), code.size(), found, serial));
  EXPECT_EQ(found.vendorId, 0x1481);
  EXPECT_EQ(found.productId, 0x0004);
  EXPECT_EQ(serial, "SERIAL-123456789");
  // The serial slot is outside the checksum; any other byte is not.
  code[kSerialSlotAt + 2] = 'X';
  EXPECT_TRUE(CheckControllerCode(code.data(), code.size(), found, serial));
  EXPECT_EQ(serial[0], 'X');
  code[kFooterAt - 1] ^= 1;
  EXPECT_FALSE(CheckControllerCode(code.data(), code.size(), found, serial));
  EXPECT_FALSE(CheckControllerCode(code.data(), 100, found, serial));
}

TEST(Images, BitstreamChecksCatchTruncationAndDamage) {
  std::vector<uint8_t> stream = BuildBitstream(1000, 7);
  EXPECT_TRUE(CheckBitstream(stream.data(), stream.size()));
  EXPECT_FALSE(CheckBitstream(stream.data(), stream.size() - 1));
  stream[500] ^= 0x80;
  EXPECT_FALSE(CheckBitstream(stream.data(), stream.size()));
  EXPECT_FALSE(CheckBitstream(stream.data(), 3));
}

}  // namespace
