#include "Cli.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace orvexctl {
namespace {

bool g_quiet = false;
bool g_progressShown = false;
std::string g_lastError;
unsigned g_problems = 0;

void PrintProgress(uint32_t value, const char* text) {
  if (g_quiet || !StderrIsTerminal()) return;
  uint32_t action = value & 0xFFFF;
  if (action == QV_PROGRESS_CLOSE) {
    if (g_progressShown) std::fprintf(stderr, "\r\033[K");
    g_progressShown = false;
    return;
  }
  std::fprintf(stderr, "\r\033[K%s %u", text ? text : "", value >> 16);
  g_progressShown = true;
}

int32_t PrintMessage(QV_Handle, uint32_t kind, uint32_t value, const char* text) {
  if (kind == QV_MSG_PROGRESS) PrintProgress(value, text);
  if (kind != QV_MSG_TEXT) return 0;
  uint32_t level = value & 0xFF;
  if (level < QV_LEVEL_WARNING) return 0;
  g_lastError = text ? text : "";
  ++g_problems;
  if (g_quiet) return 0;
  if (g_progressShown) std::fprintf(stderr, "\n");
  g_progressShown = false;
  std::fprintf(stderr, "%s: %s\n", level == QV_LEVEL_WARNING ? "warning" : "error", text ? text : "");
  return 0;
}

}  // namespace

std::string Options::OpenString() const {
  return serial.empty() ? openString : openString + " serial=" + serial;
}

std::string Options::DeviceSelection() const {
  if (!serial.empty()) return "serial=" + serial;
  size_t at = openString.find("serial=");
  return at == std::string::npos ? std::string() : openString.substr(at, openString.find(' ', at) - at);
}

void InstallMessagePrinter(bool quiet) {
  g_quiet = quiet;
  QV_SetCallback(&PrintMessage);
}

std::string LastLibraryError() { return g_lastError; }

unsigned ProblemCount() { return g_problems; }

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

namespace {

// The library reports no progress while it sends the FPGA configuration and
// waits for it (seconds), so a terminal user is told what the pause is.
void ShowOpening(const Options& options, const std::string& openString) {
  if (g_quiet || !StderrIsTerminal() || options.mode != QV_OPEN_USB) return;
  std::fprintf(stderr, "\r\033[KOpening \"%s\": FPGA configuration...", openString.c_str());
  g_progressShown = true;
}

void EndOpening() {
  if (g_progressShown) std::fprintf(stderr, "\r\033[K");
  g_progressShown = false;
}

}  // namespace

System::System(const Options& options) {
  const std::string openString = options.mode == QV_OPEN_STREAM ? options.openString : options.OpenString();
  ShowOpening(options, openString);
  if (QV_Open(&handle_, options.mode, openString.c_str()) != 1) handle_ = nullptr;
  EndOpening();
  if (!handle_) {
    std::fprintf(stderr, "cannot open \"%s\"\n", openString.c_str());
    // Without the download an FPGA that was never configured does not
    // answer, which the library can only report as failed register reads.
    if (options.mode == QV_OPEN_USB_NO_FPGA && g_lastError.find("GetAllReg") != std::string::npos)
      std::fprintf(stderr, "the FPGA does not answer: it holds no configuration, and --no-fpga (mode 2) does not "
                           "download one; open without --no-fpga\n");
    return;
  }
  // --set echoes on stderr: stdout carries the command's own data.
  settingsStatus_ = ApplySettings(*this, options.settings, stderr);
}

System::~System() {
  if (handle_) QV_Close(handle_);
}

_Map* System::FindMap(const std::string& name) const {
  _RegDesc* desc = QV_GetRegDesc(handle_);
  for (uint16_t i = 0; desc && i < desc->mapCount; ++i)
    if (desc->maps[i].id && name == desc->maps[i].id) return &desc->maps[i];
  return nullptr;
}

const _Reg* System::FindReg(const std::string& name) const {
  _RegDesc* desc = QV_GetRegDesc(handle_);
  for (uint16_t i = 0; desc && i < desc->regCount; ++i)
    if (desc->regs[i].id && name == desc->regs[i].id) return &desc->regs[i];
  return nullptr;
}

const char* EnumName(const _Map* map, uint32_t value) {
  for (const enumEntry* e = map ? map->enumEntries : nullptr; e; e = e->next)
    if (static_cast<uint32_t>(e->value) == value) return e->name;
  return nullptr;
}

std::string EnumNames(const _Map* map) {
  std::string names;
  for (const enumEntry* e = map ? map->enumEntries : nullptr; e; e = e->next)
    if (e->name) names += (names.empty() ? "" : ", ") + std::string(e->name);
  return names;
}

}  // namespace orvexctl
