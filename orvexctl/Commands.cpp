#include "Commands.h"

#include <cstring>

namespace orvexctl {
namespace {

// A new command adds its line here and its Cmd function in its own file.
const Command kCommands[] = {
    {"list", CmdList, "list", "List the connected cameras: serial number, USB identity and firmware state."},
    {"systems", CmdSystems, "systems", "List the systems the data folder offers (for -s \"sys=NAME\")."},
    {"info", CmdInfo, "info", "Show the system description of the opened system."},
    {"get", CmdGet, "get [--names] [NAME...]",
     "Print maps and registers by name (all maps without a name); enumeration names in brackets.\n"
     "  --names prints the valid range and the enumeration names instead of the values."},
    {"set", CmdSet, "set NAME=VALUE...",
     "Write maps or registers; VALUE is a whole number (0x.. for hex) or an enumeration name of the map.\n"
     "  A value out of the map's range or bits is refused and nothing is written (exit code 2)."},
    {"acquire", CmdAcquire, "acquire [-n COUNT] [-d SECONDS] [-r STREAMFILE]",
     "Acquire COUNT raw acquisitions (default 1; 0 = until interrupted) or for SECONDS, with a progress\n"
     "  line (MB/s and frames per second) on a terminal; -r records them to a stream file. Ctrl-C (SIGINT)\n"
     "  or SIGTERM stops after the acquisition in flight, closes the recording and exits with code 5."},
    {"replay", CmdReplay, "replay STREAMFILE [-n COUNT]",
     "Open a recorded stream and read every acquisition in it once (or the first COUNT)."},
    {"snapshot", CmdSnapshot, "snapshot [-o DIR] [-m METHOD] [-t THRESHOLD] [-i STREAMFILE]",
     "Acquire, process and extract a surface; write surface.png, amplitude.png and their CSV files to DIR\n"
     "  (default .). METHOD for window-mode data: threshold, centroid (default) or phase; THRESHOLD is the\n"
     "  threshold method's level (default 1.5). -i takes the first acquisition of a recording instead."},
    {"cloud", CmdCloud, "cloud -o FILE.ply [--ascii] [-m METHOD] [--ztag FILE | --count-scale N | --frames]",
     "Acquire and write the surface as 3-D points (x, y from the pixel pitch, z scaled, amplitude) to a PLY file."},
    {"eeprom", CmdEeprom, "eeprom dump [FILE] | eeprom write FILE.iic",
     "Read the controller's 16 KiB boot EEPROM (hex dump, or save to FILE), or write a firmware image to it.\n"
     "  The image is checked first (boot header, load records, checksum); a damaged one is refused."},
    {"multi", CmdMulti, "multi [-n COUNT] [SERIAL...]",
     "Acquire COUNT times (default 100) from several cameras at once, one thread each, and print per-camera\n"
     "  and total rates. The cameras are the SERIALs given (default: every camera listed)."},
    {"serial", CmdSerial, "serial get | serial set TEXT", "Read the camera's serial number, or write a new one."},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

const Command* Commands() { return kCommands; }

const Command* FindCommand(const char* name) {
  for (const Command* c = kCommands; c->name; ++c)
    if (std::strcmp(c->name, name) == 0) return c;
  return nullptr;
}

}  // namespace orvexctl
