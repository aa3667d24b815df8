// eeprom and serial: service access to the camera's USB controller.
#include <cstdio>
#include <fstream>
#include <vector>

#include "Cli.h"

namespace orvexctl {
namespace {

constexpr uint32_t kEepromBytes = 16384;

void HexDump(const std::vector<uint8_t>& bytes) {
  for (size_t row = 0; row < bytes.size(); row += 16) {
    std::printf("%04zx:", row);
    for (size_t i = row; i < row + 16 && i < bytes.size(); ++i) std::printf(" %02x", bytes[i]);
    std::printf("\n");
  }
}

}  // namespace

int CmdEeprom(const Options& options) {
  const auto& a = options.args;
  if (a.empty() || (a[0] == "dump" && a.size() > 2) || (a[0] == "write" && a.size() != 2) ||
      (a[0] != "dump" && a[0] != "write")) {
    std::fprintf(stderr, "eeprom dump [FILE] | eeprom write FILE.iic\n");
    return kUsage;
  }
  if (a[0] == "write") {
    int32_t result = QV_InternalFunc(IF_WriteFX2_EEPROM, a[1].c_str());
    if (result != 0) {
      std::fprintf(stderr, "eeprom write failed: %d %s\n", result, LastLibraryError().c_str());
      return kFailed;
    }
    std::printf("wrote %s\n", a[1].c_str());
    return kOk;
  }
  std::vector<uint8_t> image(kEepromBytes);
  int32_t result = QV_InternalFunc(IF_ReadFX2_EEPROM, 0u, image.data(), kEepromBytes);
  if (result != 0) {
    std::fprintf(stderr, "eeprom read failed: %d %s\n", result, LastLibraryError().c_str());
    return kFailed;
  }
  if (a.size() == 2) {
    std::ofstream out(a[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", a[1].c_str());
      return kFailed;
    }
    std::printf("saved %u bytes to %s\n", kEepromBytes, a[1].c_str());
  } else {
    HexDump(image);
  }
  return kOk;
}

int CmdSerial(const Options& options) {
  const auto& a = options.args;
  if (a.size() == 1 && a[0] == "get") {
    char serial[256] = {};
    QV_InternalFunc(IF_ReadSerial, serial);
    std::printf("%s\n", serial);
    return kOk;
  }
  if (a.size() == 2 && a[0] == "set" && !a[1].empty() && a[1].size() <= 16) {
    unsigned before = ProblemCount();
    QV_InternalFunc(IF_WriteSerial, a[1].c_str());
    // The library reports the outcome only as a message.
    if (ProblemCount() != before) {
      std::fprintf(stderr, "serial write failed\n");
      return kFailed;
    }
    std::printf("serial written; repower the camera to use it\n");
    return kOk;
  }
  std::fprintf(stderr, "serial get | serial set TEXT (1 to 16 characters)\n");
  return kUsage;
}

}  // namespace orvexctl
