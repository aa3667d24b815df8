// Shared pieces of the orvexctl commands: options, exit codes, the open system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "Orvex.h"

namespace orvexctl {

// Exit codes scripts can rely on.
enum ExitCode : int {
  kOk = 0,
  kFailed = 1,       // the operation ran and failed
  kUsage = 2,        // bad command line or a value the map refuses
  kNoCamera = 3,     // the system could not be opened
  kUnknownName = 4,  // a map or register name that the description lacks
  kInterrupted = 5   // stopped by SIGINT or SIGTERM after a clean finish
};

struct Options {
  std::string openString = "sys=k7cam_tq20";
  std::string serial;  // -S: the camera to work on
  uint32_t mode = 0;
  bool quiet = false;
  std::vector<std::string> settings;  // NAME=VALUE applied right after the open
  std::vector<std::string> args;      // after the command name

  // The open string with the camera selection of -S added.
  std::string OpenString() const;
  // What the device services get to pick their camera ("serial=..." or empty).
  std::string DeviceSelection() const;
};

// Collects library messages; prints warnings and errors on stderr unless
// quiet, and progress of long opens when stderr is a terminal.
void InstallMessagePrinter(bool quiet);
std::string LastLibraryError();
// Number of warnings and errors the library reported so far.
unsigned ProblemCount();
bool StderrIsTerminal();

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

// Checks one NAME=VALUE for a map (number or enumeration name) or register
// and, given an echo stream, writes it and prints the value read back there.
// Returns an exit code; a refused value is reported and never written.
int ApplySetting(const System& system, const std::string& assignment, FILE* echo);
// Checks all assignments, then writes them: nothing is written if one is refused.
int ApplySettings(const System& system, const std::vector<std::string>& assignments, FILE* echo);
const char* EnumName(const _Map* map, uint32_t value);
// "IQ16, A16Z16, ..." or empty for a map without names.
std::string EnumNames(const _Map* map);

int CmdList(const Options& options);
int CmdSystems(const Options& options);
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
