#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DebugOutput.h"
#include "platform/DesktopBackend.h"

namespace orvex {
namespace {

// Plain pointers: the library's state must stay valid until its own unload
// handler has run, whatever order static destructors take. The first report
// may come from several threads at once; exactly one of them creates it.
std::atomic<IDesktopBackend*> g_backend{nullptr};
std::mutex g_backendCreation;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

std::string DirectoryOfThisModule() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&DirectoryOfThisModule), &info) == 0 || !info.dli_fname) return {};
  std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string{} : path.substr(0, slash);
}

// Next to the library (build tree), in the plug-in folder beside it (an
// installation moved to another prefix), then the configured plug-in folder.
std::vector<std::string> PluginCandidates() {
  std::vector<std::string> candidates;
  const std::string own = DirectoryOfThisModule();
  if (!own.empty()) {
    candidates.push_back(own + "/" + kDesktopPluginFile);
    candidates.push_back(own + "/orvex/" + kDesktopPluginFile);
  }
#ifdef ORVEX_INSTALL_PLUGIN_DIR
  candidates.push_back(std::string(ORVEX_INSTALL_PLUGIN_DIR) + "/" + kDesktopPluginFile);
#endif
  return candidates;
}

// GTK 3 aborts the process when it finds GTK 2 loaded already.
bool Gtk2Loaded() {
  void* gtk2 = dlopen("libgtk-x11-2.0.so.0", RTLD_LAZY | RTLD_NOLOAD);
  if (!gtk2) return false;
  dlclose(gtk2);
  return true;
}

IDesktopBackend* CreateAutomaticBackend() {
  if (DisplayConfigured() && !Gtk2Loaded()) {
    for (const std::string& candidate : PluginCandidates())
      if (IDesktopBackend* backend = LoadDesktopPlugin(candidate.c_str())) return backend;
  }
  return new ConsoleBackend();
}

}  // namespace

bool DisplayConfigured() { return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"); }

IDesktopBackend* LoadDesktopPlugin(const char* path) {
  if (!path || access(path, R_OK) != 0) return nullptr;
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    std::string line = std::string("libOrvex:desktop plug-in not loaded: ") + dlerror() + "\n";
    WriteDebugOutput(line.c_str());
    return nullptr;
  }
  auto create = reinterpret_cast<CreateDesktopBackendFunction>(dlsym(module, kDesktopPluginEntry));
  // The module stays loaded even when it declines: toolkits do not survive unloading.
  return create ? create(kDesktopPluginAbi) : nullptr;
}

IDesktopBackend& Desktop() {
  if (IDesktopBackend* backend = g_backend.load()) return *backend;
  std::lock_guard<std::mutex> lock(g_backendCreation);
  if (!g_backend.load()) g_backend.store(CreateAutomaticBackend());
  return *g_backend.load();
}

IDesktopBackend* ReplaceDesktopBackend(IDesktopBackend* backend) {
  std::lock_guard<std::mutex> lock(g_backendCreation);
  return g_backend.exchange(backend);
}

}  // namespace orvex
