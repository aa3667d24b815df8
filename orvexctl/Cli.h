// Shared pieces of the orvexctl commands: options, exit codes, the open system.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Orvex.h"

namespace orvexctl {

// Exit codes scripts can rely on.
enum ExitCode : int {
  kOk = 0,
  kFailed = 1,      // the operation ran and failed
  kUsage = 2,       // bad command line
  kNoCamera = 3,    // the system could not be opened
  kUnknownName = 4  // a map or register name that the description lacks
};

struct Options {
  std::string openString = "sys=k7cam_tq20";
  uint32_t mode = 0;
  bool quiet = false;
  std::vector<std::string> settings;  // NAME=VALUE applied right after the open
  std::vector<std::string> args;      // after the command name
};

// Collects library messages; prints warnings and errors on stderr unless quiet.
void InstallMessagePrinter(bool quiet);
std::string LastLibraryError();
// Number of warnings and errors the library reported so far.
unsigned ProblemCount();

// RAII for an open system.
class System {
 public:
  explicit System(const Options& options);
  ~System();
  System(const System&) = delete;
  System& operator=(const System&) = delete;
  bool ok() const { return handle_ != nullptr; }
  // kOk when open with every --set setting applied, else the exit code.
  int status() const { return handle_ ? settingsStatus_ : kNoCamera; }
  QV_Handle handle() const { return handle_; }

  _Map* FindMap(const std::string& name) const;
  const _Reg* FindReg(const std::string& name) const;

 private:
  QV_Handle handle_ = nullptr;
  int settingsStatus_ = 0;
};

// Writes one NAME=VALUE to a map (number or enumeration name) or register;
// prints the value read back. Returns an exit code.
int ApplySetting(const System& system, const std::string& assignment);

// Parses "123", "0x1F" or an enumeration name of the map; false when neither.
bool ParseMapValue(const _Map* map, const std::string& text, uint32_t* value);
const char* EnumName(const _Map* map, uint32_t value);

int CmdList(const Options& options);
int CmdInfo(const Options& options);
int CmdGet(const Options& options);
int CmdSet(const Options& options);
int CmdAcquire(const Options& options);
int CmdReplay(const Options& options);
int CmdSnapshot(const Options& options);
int CmdCloud(const Options& options);
int CmdEeprom(const Options& options);
int CmdSerial(const Options& options);
int CmdMulti(const Options& options);

}  // namespace orvexctl
