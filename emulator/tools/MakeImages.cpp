// Writes our firmware image and FPGA bit stream:
//   orvex_mkimages <firmware.iic> <bitstream> [bitstream bytes]
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Images.h"

namespace {

bool WriteAll(const char* path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s firmware.iic bitstream [payload bytes]\n", argv[0]);
    return 2;
  }
  size_t payload = argc > 3 ? std::strtoul(argv[3], nullptr, 0) : 40000;
  // The shipped firmware carries no serial: the EEPROM writer adds one per camera.
  orvex_emu::FirmwareIdentity identity;
  if (!WriteAll(argv[1], orvex_emu::BuildC2Image(identity, "")) ||
      !WriteAll(argv[2], orvex_emu::BuildBitstream(payload, 0x0F9A0001u))) {
    std::perror("orvex_mkimages");
    return 1;
  }
  return 0;
}
