// orvexctl: everyday work with a camera (or a recorded stream) from a shell.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Cli.h"
#include "Commands.h"

namespace {

using namespace orvexctl;

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: orvexctl [-s OPENSTRING] [-S SERIAL] [--set NAME=VALUE]... [--no-fpga] [-q] COMMAND [ARGS]\n"
               "  -s OPENSTRING  system to open (default \"sys=k7cam_tq20\"; 'orvexctl systems' lists them)\n"
               "  -S SERIAL      the camera to work on, by serial number (as \"serial=SERIAL\" in the open\n"
               "                 string); eeprom and serial need it when several cameras are connected\n"
               "  --set N=V      write a map or register right after opening (repeatable)\n"
               "  --no-fpga      open without sending the FPGA configuration (mode 2)\n"
               "  -q             do not print library warnings or progress\n"
               "  --version      print the versions of orvexctl and libOrvex\n"
               "  -h, --help     this text\n\ncommands:\n");
  for (const Command* c = Commands(); c->name; ++c) std::fprintf(out, "  %s\n", c->usage);
  std::fprintf(out,
               "\n'orvexctl COMMAND --help' explains a command. Data go to stdout, messages to stderr.\n"
               "exit codes: 0 ok, 1 operation failed, 2 usage or refused value, 3 system not opened,\n"
               "  4 unknown name, 5 interrupted (SIGINT/SIGTERM; a recording is closed cleanly)\n");
}

int PrintVersion() {
  uint16_t words[4] = {};
  QV_GetVersion(words);
  std::printf("orvexctl %s (libOrvex %u.%u.%u.%u)\n", ORVEX_VERSION_STRING, words[3], words[2], words[1], words[0]);
  return kOk;
}

// Global options; the index of the command name, or -1 with the exit code
// in *exitCode.
int ParseGlobalOptions(int argc, char** argv, Options* options, int* exitCode) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    std::string opt = argv[i];
    bool hasValue = i + 1 < argc;
    if ((opt == "-s" || opt == "--open") && hasValue) {
      options->openString = argv[++i];
    } else if ((opt == "-S" || opt == "--serial") && hasValue && argv[i + 1][0]) {
      options->serial = argv[++i];
    } else if (opt == "--set" && hasValue) {
      options->settings.push_back(argv[++i]);
    } else if (opt == "--no-fpga") {
      options->mode = QV_OPEN_USB_NO_FPGA;
    } else if (opt == "-q" || opt == "--quiet") {
      options->quiet = true;
    } else if (opt == "--version") {
      *exitCode = PrintVersion();
      return -1;
    } else if (opt == "-h" || opt == "--help") {
      PrintUsage(stdout);
      *exitCode = kOk;
      return -1;
    } else {
      std::fprintf(stderr, "unknown or incomplete option: %s\n", opt.c_str());
      PrintUsage(stderr);
      *exitCode = kUsage;
      return -1;
    }
  }
  if (!options->serial.empty() && options->openString.find("serial=") != std::string::npos) {
    std::fprintf(stderr, "give the camera once: -S SERIAL or serial= in the open string\n");
    *exitCode = kUsage;
    return -1;
  }
  if (i >= argc) {
    PrintUsage(stderr);
    *exitCode = kUsage;
    return -1;
  }
  return i;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int exitCode = kOk;
  int i = ParseGlobalOptions(argc, argv, &options, &exitCode);
  if (i < 0) return exitCode;
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
