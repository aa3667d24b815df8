// eeprom and serial: service access to the USB controller of the chosen camera.
#include <cstdio>
#include <fstream>
#include <vector>

#include "Cli.h"

namespace orvexctl {
namespace {

constexpr uint32_t kEepromBytes = 16384;
constexpr size_t kMaxSerialChars = 16;

void HexDump(const std::vector<uint8_t>& bytes) {
  for (size_t row = 0; row < bytes.size(); row += 16) {
    std::printf("%04zx:", row);
    for (size_t i = row; i < row + 16 && i < bytes.size(); ++i) std::printf(" %02x", bytes[i]);
    std::printf("\n");
  }
}

int Failed(const char* what, int32_t result) {
  std::fprintf(stderr, "%s failed (%d): %s\n", what, result, LastLibraryError().c_str());
  return kFailed;
}

int EepromWrite(const std::string& selection, const std::string& file) {
  // The library checks the image (boot header, records, checksum) before
  // the first byte goes to the EEPROM.
  int32_t result = QV_InternalFunc(IF_WriteFX2_EEPROM_Selected, selection.c_str(), file.c_str());
  if (result != 0) return Failed("eeprom write", result);
  std::fprintf(stderr, "wrote %s; repower the camera to boot it\n", file.c_str());
  return kOk;
}

int EepromDump(const std::string& selection, const std::vector<std::string>& a) {
  std::vector<uint8_t> image(kEepromBytes);
  int32_t result = QV_InternalFunc(IF_ReadFX2_EEPROM_Selected, selection.c_str(), 0u, image.data(), kEepromBytes);
  if (result != 0) return Failed("eeprom read", result);
  if (a.size() < 2) {
    HexDump(image);
    return kOk;
  }
  std::ofstream out(a[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", a[1].c_str());
    return kFailed;
  }
  std::fprintf(stderr, "saved %u bytes to %s\n", kEepromBytes, a[1].c_str());
  return kOk;
}

// Without a selection the services would take whichever camera comes
// first; with several that is a guess, so the user has to choose.
bool CameraChosen(const std::string& selection) {
  uint32_t cameras = selection.empty() ? QV_GetSerials(nullptr) : 0;
  if (cameras <= 1) return true;
  std::fprintf(stderr, "%u cameras are connected: choose one with -S SERIAL (see 'orvexctl list')\n", cameras);
  return false;
}

}  // namespace

int CmdEeprom(const Options& options) {
  const auto& a = options.args;
  if (a.empty() || (a[0] == "dump" && a.size() > 2) || (a[0] == "write" && a.size() != 2) ||
      (a[0] != "dump" && a[0] != "write")) {
    std::fprintf(stderr, "eeprom dump [FILE] | eeprom write FILE.iic\n");
    return kUsage;
  }
  if (!CameraChosen(options.DeviceSelection())) return kUsage;
  return a[0] == "write" ? EepromWrite(options.DeviceSelection(), a[1]) : EepromDump(options.DeviceSelection(), a);
}

int CmdSerial(const Options& options) {
  const auto& a = options.args;
  const std::string selection = options.DeviceSelection();
  if (!a.empty() && (a[0] == "get" || a[0] == "set") && !CameraChosen(selection)) return kUsage;
  if (a.size() == 1 && a[0] == "get") {
    char serial[256] = {};
    int32_t result = QV_InternalFunc(IF_ReadSerial_Selected, selection.c_str(), serial);
    if (result != 0) return Failed("serial get", result);
    if (!serial[0]) {
      std::fprintf(stderr, "the camera names no serial number\n");
      return kFailed;
    }
    std::printf("%s\n", serial);
    return kOk;
  }
  if (a.size() == 2 && a[0] == "set" && !a[1].empty() && a[1].size() <= kMaxSerialChars) {
    int32_t result = QV_InternalFunc(IF_WriteSerial_Selected, selection.c_str(), a[1].c_str());
    if (result != 0) return Failed("serial set", result);
    std::fprintf(stderr, "serial written; repower the camera to use it\n");
    return kOk;
  }
  std::fprintf(stderr, "serial get | serial set TEXT (1 to 16 characters)\n");
  return kUsage;
}

}  // namespace orvexctl
