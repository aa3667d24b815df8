// orvex-vcam: the cameras of the emulator configuration as USB devices on
// usbfs. Programs run under it talk through the system's libusb-0.1 to
// device nodes whose ioctls this process answers from the camera model.
#include <glib-unix.h>
#include <glib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Config.h"
#include "ControlSocket.h"
#include "Emulator.h"
#include "Session.h"
#include "Testbed.h"

namespace {

using namespace orvex_vcam;

constexpr const char* kPreload = "libumockdev-preload.so.0";

const char* const kUsage =
    "usage: orvex-vcam run [--config FILE] -- COMMAND [ARGS...]   run a command (a script runs several) with the cameras\n"
    "       orvex-vcam shell [--config FILE]                       an interactive shell with the cameras\n"
    "       orvex-vcam ctl [--socket PATH] COMMAND [ARGS...]       control a running session (ctl help)\n"
    "The configuration is the emulator's (--config or ORVEX_EMULATOR_CONFIG; default one camera).\n"
    "Inside a session ORVEX_VCAM_SOCKET names its control socket.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

// The configuration must parse: a session on a broken file would show other cameras than asked for.
bool UseConfig(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  orvex_emu::EmulatorConfig config;
  std::string error;
  if (!file || !orvex_emu::ParseConfig(text.str(), config, error)) {
    std::fprintf(stderr, "orvex-vcam: %s: %s\n", path.c_str(), file ? error.c_str() : "cannot read");
    return false;
  }
  char* absolute = realpath(path.c_str(), nullptr);
  setenv("ORVEX_EMULATOR_CONFIG", absolute ? absolute : path.c_str(), 1);
  std::free(absolute);
  return true;
}

// The program's environment: ours (UMOCKDEV_DIR, ORVEX_VCAM_SOCKET) with the
// umockdev preload library first.
gchar** ChildEnvironment() {
  gchar** environment = g_get_environ();
  const gchar* old = g_environ_getenv(environment, "LD_PRELOAD");
  std::string preload = kPreload;
  if (old && *old) preload += std::string(":") + old;
  return g_environ_setenv(environment, "LD_PRELOAD", preload.c_str(), TRUE);
}

struct Child {
  GMainLoop* loop;
  GPid pid = 0;
  int status = 0;
};

// Ctrl-C reaches the program from the terminal; the session ends with it.
int OnInterrupt(void*) { return G_SOURCE_CONTINUE; }

int OnTerminate(void* data) {
  kill(static_cast<Child*>(data)->pid, SIGTERM);
  return G_SOURCE_CONTINUE;
}

void OnChildExit(GPid pid, int status, void* data) {
  auto* child = static_cast<Child*>(data);
  child->status = status;
  g_spawn_close_pid(pid);
  g_main_loop_quit(child->loop);
}

int ExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}

// The session lives while the command runs; its exit status is ours.
int RunSession(std::vector<std::string> command) {
  Testbed testbed;
  orvex_emu::State();  // the cameras of the configuration, powered up
  GMainContext* context = g_main_context_default();
  Session session(testbed, context);
  session.Sync();
  std::string socketPath = testbed.RootDir() + "/control.sock";
  ControlSocket control(socketPath, session);
  setenv("ORVEX_VCAM_SOCKET", socketPath.c_str(), 1);

  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  GMainLoop* loop = g_main_loop_new(context, FALSE);
  Child child{loop};
  GError* error = nullptr;
  gchar** environment = ChildEnvironment();
  bool spawned = g_spawn_async(nullptr, argv.data(), environment,
                               GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_CHILD_INHERITS_STDIN),
                               nullptr, nullptr, &child.pid, &error);
  g_strfreev(environment);
  if (!spawned) {
    std::fprintf(stderr, "orvex-vcam: cannot run %s: %s\n", argv[0], error ? error->message : "?");
    if (error) g_error_free(error);
    g_main_loop_unref(loop);
    return 127;
  }
  g_child_watch_add(child.pid, OnChildExit, &child);
  guint interrupt = g_unix_signal_add(SIGINT, OnInterrupt, nullptr);
  guint terminate = g_unix_signal_add(SIGTERM, OnTerminate, &child);
  g_main_loop_run(loop);
  g_source_remove(interrupt);
  g_source_remove(terminate);
  g_main_loop_unref(loop);
  return ExitCode(child.status);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") return args.empty() ? Usage() : (std::fputs(kUsage, stdout), 0);
  const std::string verb = args[0];
  size_t at = 1;
  if (verb == "ctl") {
    std::string socket = std::getenv("ORVEX_VCAM_SOCKET") ? std::getenv("ORVEX_VCAM_SOCKET") : "";
    if (at + 1 < args.size() && args[at] == "--socket") socket = args[at + 1], at += 2;
    if (socket.empty() || at >= args.size()) return Usage();
    std::string command;
    for (; at < args.size(); ++at) command += (command.empty() ? "" : " ") + args[at];
    return SendControlCommand(socket, command);
  }
  if (verb != "run" && verb != "shell") return Usage();
  if (at + 1 < args.size() && args[at] == "--config") {
    if (!UseConfig(args[at + 1])) return 2;
    at += 2;
  }
  std::vector<std::string> command;
  if (verb == "shell") {
    if (at != args.size()) return Usage();
    const char* shell = std::getenv("SHELL");
    command = {shell && *shell ? shell : "/bin/bash", "-i"};
    std::fprintf(stderr, "orvex-vcam: cameras on usbfs; 'orvex-vcam ctl help' controls them, exit ends the session\n");
  } else {
    if (at >= args.size() || args[at] != "--" || at + 1 >= args.size()) return Usage();
    command.assign(args.begin() + long(at) + 1, args.end());
  }
  try {
    return RunSession(command);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvex-vcam: %s\n", e.what());
    return 1;
  }
}
