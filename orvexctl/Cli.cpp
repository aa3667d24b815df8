#include "Cli.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvexctl {
namespace {

bool g_quiet = false;
std::string g_lastError;
unsigned g_problems = 0;

int32_t PrintMessage(QV_Handle, uint32_t kind, uint32_t value, const char* text) {
  if (kind != QV_MSG_TEXT) return 0;
  uint32_t level = value & 0xFF;
  if (level >= QV_LEVEL_WARNING) {
    g_lastError = text ? text : "";
    ++g_problems;
  }
  if (!g_quiet && level >= QV_LEVEL_WARNING)
    std::fprintf(stderr, "%s: %s\n", level == QV_LEVEL_WARNING ? "warning" : "error", text ? text : "");
  return 0;
}

}  // namespace

void InstallMessagePrinter(bool quiet) {
  g_quiet = quiet;
  QV_SetCallback(&PrintMessage);
}

std::string LastLibraryError() { return g_lastError; }

unsigned ProblemCount() { return g_problems; }

System::System(const Options& options) {
  if (QV_Open(&handle_, options.mode, options.openString.c_str()) != 1) handle_ = nullptr;
  if (!handle_) {
    std::fprintf(stderr, "cannot open \"%s\"\n", options.openString.c_str());
    return;
  }
  for (const std::string& setting : options.settings) {
    settingsStatus_ = ApplySetting(*this, setting);
    if (settingsStatus_ != 0) return;
  }
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

bool ParseMapValue(const _Map* map, const std::string& text, uint32_t* value) {
  for (const enumEntry* e = map ? map->enumEntries : nullptr; e; e = e->next) {
    if (e->name && text == e->name) {
      *value = static_cast<uint32_t>(e->value);
      return true;
    }
  }
  if (text.empty()) return false;
  char* end = nullptr;
  unsigned long long number = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || number > 0xFFFFFFFFull || text[0] == '-') return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

const char* EnumName(const _Map* map, uint32_t value) {
  for (const enumEntry* e = map ? map->enumEntries : nullptr; e; e = e->next)
    if (static_cast<uint32_t>(e->value) == value) return e->name;
  return nullptr;
}

}  // namespace orvexctl
