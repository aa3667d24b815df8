// orvexctl: everyday work with a camera (or a recorded stream) from a shell.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Cli.h"

namespace {

using namespace orvexctl;

struct Command {
  const char* name;
  int (*run)(const Options&);
  const char* usage;
  const char* help;
};

const Command kCommands[] = {
    {"list", CmdList, "list", "List the connected cameras with their serial numbers."},
    {"info", CmdInfo, "info", "Show the system description of the opened system."},
    {"get", CmdGet, "get [NAME...]",
     "Print maps and registers by name (all maps without a name); enumeration names in brackets."},
    {"set", CmdSet, "set NAME=VALUE...",
     "Write maps or registers; VALUE is a number (0x.. for hex) or an enumeration name of the map."},
    {"acquire", CmdAcquire, "acquire [-n COUNT] [-r STREAMFILE]",
     "Acquire COUNT raw acquisitions (default 1) with a progress line; -r records them to a stream file."},
    {"replay", CmdReplay, "replay STREAMFILE", "Open a recorded stream and read every acquisition in it once."},
    {"snapshot", CmdSnapshot, "snapshot [-o DIR] [-m METHOD]",
     "Acquire, process and extract a surface; write surface.png, amplitude.png and their CSV files to DIR\n"
     "  (default .). METHOD for window-mode data: threshold, centroid (default) or phase."},
    {"cloud", CmdCloud, "cloud -o FILE.ply [--ascii] [-m METHOD] [--ztag FILE | --count-scale N | --frames]",
     "Acquire and write the surface as 3-D points (x, y from the pixel pitch, z scaled, amplitude) to a PLY file."},
    {"eeprom", CmdEeprom, "eeprom dump [FILE] | eeprom write FILE.iic",
     "Read the controller's 16 KiB boot EEPROM (hex dump, or save to FILE), or write a firmware image to it."},
    {"multi", CmdMulti, "multi [-n COUNT] [SERIAL...]",
     "Acquire COUNT times (default 100) from several cameras at once, one thread each, and print per-camera\n"
     "  and total rates. The cameras are the SERIALs given (default: every camera listed)."},
    {"serial", CmdSerial, "serial get | serial set TEXT", "Read the camera's serial number, or write a new one."},
};

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: orvexctl [-s OPENSTRING] [--set NAME=VALUE]... [--no-fpga] [-q] COMMAND [ARGS]\n"
               "  -s OPENSTRING  system to open (default \"sys=k7cam_tq20\")\n"
               "  --set N=V      write a map or register right after opening (repeatable)\n"
               "  --no-fpga      open without sending the FPGA configuration (mode 2)\n"
               "  -q             do not print library warnings\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
  std::fprintf(out,
               "\n'orvexctl COMMAND --help' explains a command.\n"
               "exit codes: 0 ok, 1 operation failed, 2 usage, 3 system not opened, 4 unknown name\n");
}

const Command* FindCommand(const char* name) {
  for (const Command& c : kCommands)
    if (std::strcmp(c.name, name) == 0) return &c;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    std::string opt = argv[i];
    if ((opt == "-s" || opt == "--open") && i + 1 < argc) {
      options.openString = argv[++i];
    } else if (opt == "--set" && i + 1 < argc) {
      options.settings.push_back(argv[++i]);
    } else if (opt == "--no-fpga") {
      options.mode = QV_OPEN_USB_NO_FPGA;
    } else if (opt == "-q" || opt == "--quiet") {
      options.quiet = true;
    } else if (opt == "-h" || opt == "--help") {
      PrintUsage(stdout);
      return kOk;
    } else {
      PrintUsage(stderr);
      return kUsage;
    }
  }
  if (i >= argc) {
    PrintUsage(stderr);
    return kUsage;
  }
  const Command* command = FindCommand(argv[i]);
  if (!command) {
    std::fprintf(stderr, "unknown command: %s\n", argv[i]);
    PrintUsage(stderr);
    return kUsage;
  }
  for (int k = i + 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "--help") == 0 || std::strcmp(argv[k], "-h") == 0) {
      std::printf("usage: orvexctl [options] %s\n%s\n", command->usage, command->help);
      return kOk;
    }
    options.args.push_back(argv[k]);
  }
  InstallMessagePrinter(options.quiet);
  return command->run(options);
}
