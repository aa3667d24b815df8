// snapshot: acquire, process, extract a surface and write it out as images.
#include <cstdio>
#include <cstring>
#include <string>

#include "Cli.h"
#include "PngImage.h"

namespace orvexctl {

int CmdSnapshot(const Options& options) {
  (void)options;
  std::fprintf(stderr, "snapshot needs libK7Hlp\n");
  return kFailed;
}

}  // namespace orvexctl
