#include "FirmwareTests.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "MemoryDump.h"
#include "Orvex.h"
#include "PathPrompt.h"
#include "TestEnv.h"

namespace {

constexpr uint32_t kEepromSize = 0x4000;
constexpr size_t kSerialLineChars = 255;
constexpr size_t kSerialBufferSize = 256;
constexpr const char* kLoadTitle = "Load FX2-i2c File ...";
constexpr const char* kSaveTitle = "Save FX2-i2c File ...";

bool WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t count) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < count) {
    ssize_t written = write(fd, bytes + done, count - done);
    if (written <= 0) break;
    done += static_cast<size_t>(written);
  }
  close(fd);
  return done == count;
}

void SaveEepromImage(const TestEnv& env, const std::vector<uint8_t>& image) {
  std::string path;
  if (!PromptSaveFile(env.input, env.Out(), kSaveTitle, kI2cFileFilter, path)) return;
  if (!WriteWholeFile(path, image.data(), image.size())) env.Print("%s: could not be written\n", path.c_str());
}

}  // namespace

void TestWriteFX2Ram(const TestEnv& env) {
  std::string path;
  if (!PromptOpenFile(env.input, env.Out(), kLoadTitle, kI2cFileFilter, path)) {
    env.Print("ClibOrvexTester::TestWriteFX2_RAM(): no file selected\n");
    return;
  }
  int32_t result = QV_InternalFunc(IF_WriteFX2_RAM, path.c_str(), static_cast<void*>(nullptr));
  if (result != 0) env.report.Log("QV_InternalFunc(IF_WriteFX2_RAM,i2cFilename) error %i", result);
}

void TestReadFX2Eeprom(const TestEnv& env) {
  std::vector<uint8_t> image(kEepromSize, 0);
  int32_t result = QV_InternalFunc(IF_ReadFX2_EEPROM, uint32_t{0}, image.data(), kEepromSize);
  if (result != 0) {
    env.report.Log("QV_InternalFunc(IF_ReadFX2_EEPROM,addr,buf,sz) error %i", result);
    return;
  }
  PrintMemoryDump(env.Out(), image.data(), image.size());
  SaveEepromImage(env, image);
}

void TestWriteFX2Eeprom(const TestEnv& env) {
  std::string path;
  if (!PromptOpenFile(env.input, env.Out(), kLoadTitle, kI2cFileFilter, path)) {
    env.Print("ClibOrvexTester::TestWriteFX2_EEPROM(): no file selected\n");
    return;
  }
  int32_t result = QV_InternalFunc(IF_WriteFX2_EEPROM, path.c_str());
  if (result != 0) env.report.Log("QV_InternalFunc(IF_WriteFX2_EEPROM,i2cFilename) error %i", result);
}

void TestWriteSerial(const TestEnv& env) {
  env.Print("Insert New Serial String\n");
  std::string serial;
  env.input.ReadLine(serial, kSerialLineChars);
  QV_InternalFunc(IF_WriteSerial, serial.c_str());
}

void TestReadSerial(const TestEnv& env) {
  env.Print("Read Serial String\n");
  char serial[kSerialBufferSize] = {};
  QV_InternalFunc(IF_ReadSerial, serial);
  serial[kSerialBufferSize - 1] = '\0';
  env.Print("Serial string is %s\n", serial);
}
