#include "Config.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orvex_emu {
namespace {

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

bool ParseNumber(const std::string& text, long long low, long long high, long long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 0);
  if (*end != '\0' || value < low || value > high) return false;
  out = value;
  return true;
}

bool ParseCount(const std::string& text, FaultCounter& out) {
  long long skip = 0, count = 0;
  size_t plus = text.find('+');
  std::string tail = plus == std::string::npos ? text : text.substr(plus + 1);
  if (plus != std::string::npos && !ParseNumber(Trim(text.substr(0, plus)), 0, 1000000000, skip)) return false;
  tail = Trim(tail);
  if (tail == "always")
    count = -1;
  else if (!ParseNumber(tail, 0, 1000000000, count))
    return false;
  out.skip = static_cast<int>(skip);
  out.count = static_cast<int>(count);
  return true;
}

bool ParseBool(const std::string& text, bool& out) {
  if (text == "yes" || text == "1" || text == "true") return out = true, true;
  if (text == "no" || text == "0" || text == "false") return out = false, true;
  return false;
}

// "a:b" or "a:b:c" with numbers in the given range.
bool ParseFields(const std::string& text, size_t count, long long high, long long* out) {
  std::stringstream in(text);
  std::string part;
  size_t n = 0;
  while (std::getline(in, part, ':')) {
    if (n == count || !ParseNumber(Trim(part), 0, high, out[n])) return false;
    ++n;
  }
  return n == count;
}

bool ApplyFault(Faults& f, const std::string& key, const std::string& value, bool& known) {
  struct Entry {
    const char* name;
    FaultCounter Faults::*field;
  };
  static const Entry entries[] = {
      {"drop_responses", &Faults::dropResponses},     {"nak_responses", &Faults::nakResponses},
      {"garbled_responses", &Faults::garbledResponses}, {"short_responses", &Faults::shortResponses},
      {"zero_reads", &Faults::zeroReads},             {"short_reads", &Faults::shortReads},
      {"read_errors", &Faults::readErrors},           {"fpga_verify_failures", &Faults::fpgaVerifyFailures},
      {"eeprom_write_naks", &Faults::eepromWriteNaks}, {"eeprom_readback_errors", &Faults::eepromReadbackErrors},
      {"firmware_failures", &Faults::firmwareFailures}, {"open_failures", &Faults::openFailures},
      {"claim_failures", &Faults::claimFailures},     {"unplug", &Faults::unplug},
      {"read_timeouts", &Faults::readTimeouts},       {"write_timeouts", &Faults::writeTimeouts},
      {"stalls", &Faults::stalls}};
  for (const Entry& entry : entries) {
    if (key == entry.name) {
      known = true;
      return ParseCount(value, f.*entry.field);
    }
  }
  known = false;
  return false;
}

// "unlimited" or a rate in MB/s (10^6 bytes per second).
bool ParseLinkRate(const std::string& text, double& bytesPerSecond) {
  if (text == "unlimited") return bytesPerSecond = 0, true;
  char* end = nullptr;
  double megabytes = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(megabytes > 0) || megabytes > 100000) return false;
  bytesPerSecond = megabytes * 1e6;
  return true;
}

}  // namespace

bool FaultCounter::Take() {
  if (count == 0) return false;
  if (skip > 0) {
    --skip;
    return false;
  }
  if (count > 0) --count;
  return true;
}

CameraConfig DefaultCamera(unsigned index) {
  CameraConfig camera;
  const char* rate = std::getenv("ORVEX_EMULATOR_LINK_RATE");
  if (rate && *rate && !ParseLinkRate(rate, camera.linkRate))
    std::fprintf(stderr, "orvex emulator: bad ORVEX_EMULATOR_LINK_RATE '%s'; using 40 MB/s\n", rate);
  char serial[16];
  std::snprintf(serial, sizeof serial, "OVX%04u", (index + 1) % 10000);
  camera.serial = serial;
  return camera;
}

bool ApplyCameraKey(CameraConfig& camera, const std::string& key, const std::string& value, std::string& error) {
  long long n[3] = {};
  bool ok = true;
  if (key == "serial") {
    camera.serial = value;
  } else if (key == "identity") {
    ok = ParseFields(value, 2, 0xFFFF, n);
    if (ok) camera.identity.vendorId = uint16_t(n[0]), camera.identity.productId = uint16_t(n[1]);
  } else if (key == "eeprom") {
    if (value == "firmware") camera.eeprom = EepromContent::Firmware;
    else if (value == "blank") camera.eeprom = EepromContent::Blank;
    else if (value.rfind("file:", 0) == 0) camera.eeprom = EepromContent::File, camera.eepromFile = value.substr(5);
    else ok = false;
  } else if (key == "fpga") {
    ok = value == "configured" || value == "unconfigured";
    camera.fpgaConfigured = value == "configured";
  } else if (key == "plugged") {
    ok = ParseBool(value, camera.plugged);
  } else if (key == "register") {
    ok = ParseFields(value, 2, 255, n);
    if (ok) camera.registers.emplace_back(uint8_t(n[0]), uint8_t(n[1]));
  } else if (key == "busy") {
    ok = ParseFields(value, 3, 1000000, n) && n[0] <= 255 && n[1] <= 255;
    if (ok) camera.busy = {true, uint8_t(n[0]), uint8_t(n[1]), int(n[2])};
  } else if (key == "counter") {
    ok = ParseNumber(value, 0, 255, n[0]);
    if (ok) camera.counterRegister = int(n[0]);
  } else if (key == "regdesc") {
    camera.regdesc = value;
  } else if (key == "busy_reads") {
    ok = ParseNumber(value, 0, 1000000, n[0]);
    if (ok) camera.busyReads = int(n[0]);
  } else if (key == "scene") {
    camera.scene = value;
  } else if (key == "link_rate") {
    ok = ParseLinkRate(value, camera.linkRate);
  } else if (key == "acquisitions") {
    ok = ParseNumber(value, 0, INT64_MAX, n[0]);
    if (ok) camera.acquisitions = uint64_t(n[0]);
  } else {
    bool known = false;
    ok = ApplyFault(camera.faults, key, value, known);
    if (!known) {
      error = "unknown key '" + key + "'";
      return false;
    }
  }
  if (!ok) error = "bad value '" + value + "' for '" + key + "'";
  return ok;
}

bool ParseConfig(const std::string& text, EmulatorConfig& config, std::string& error) {
  struct Line {
    int camera;  // -1: all cameras
    std::string key, value;
    int number;
  };
  std::vector<Line> lines;
  long long count = 1;
  int section = -1;
  int highest = -1;
  std::stringstream in(text);
  std::string raw;
  for (int number = 1; std::getline(in, raw); ++number) {
    std::string line = Trim(raw.substr(0, raw.find('#')));
    if (line.empty()) continue;
    if (line.front() == '[') {
      long long index = 0;
      std::string inner = Trim(line.substr(1, line.size() - 2));
      if (line.back() != ']' || inner.rfind("camera", 0) != 0 ||
          !ParseNumber(Trim(inner.substr(6)), 0, 63, index)) {
        error = "line " + std::to_string(number) + ": bad section";
        return false;
      }
      section = int(index);
      if (section > highest) highest = section;
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
      error = "line " + std::to_string(number) + ": expected key = value";
      return false;
    }
    std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    if (key == "cameras" && section < 0) {
      if (!ParseNumber(value, 0, 64, count)) {
        error = "line " + std::to_string(number) + ": bad camera count";
        return false;
      }
      continue;
    }
    lines.push_back({section, key, value, number});
  }
  if (highest + 1 > count) count = highest + 1;
  config.cameras.clear();
  for (unsigned i = 0; i < count; ++i) config.cameras.push_back(DefaultCamera(i));
  for (int pass = 0; pass < 2; ++pass) {
    for (const Line& line : lines) {
      if ((pass == 0) != (line.camera < 0)) continue;
      for (unsigned i = 0; i < config.cameras.size(); ++i) {
        if (line.camera >= 0 && unsigned(line.camera) != i) continue;
        std::string reason;
        if (!ApplyCameraKey(config.cameras[i], line.key, line.value, reason)) {
          error = "line " + std::to_string(line.number) + ": " + reason;
          return false;
        }
      }
    }
  }
  return true;
}

EmulatorConfig ConfigFromEnvironment() {
  EmulatorConfig config;
  config.cameras.push_back(DefaultCamera(0));
  const char* path = std::getenv("ORVEX_EMULATOR_CONFIG");
  if (!path || !*path) return config;
  std::ifstream file(path);
  if (!file) {
    std::fprintf(stderr, "orvex emulator: cannot read %s; using one default camera\n", path);
    return config;
  }
  std::stringstream text;
  text << file.rdbuf();
  std::string error;
  EmulatorConfig parsed;
  if (!ParseConfig(text.str(), parsed, error)) {
    std::fprintf(stderr, "orvex emulator: %s: %s; using one default camera\n", path, error.c_str());
    return config;
  }
  return parsed;
}

}  // namespace orvex_emu
