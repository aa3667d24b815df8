// libOrvexTester: exercises libOrvex on a connected camera through a user menu
// and a password-protected internal menu, or runs the tests named on the
// command line ("u7", "ib", ...).
#include <cstdio>

#include "TesterProgram.h"

int main(int argc, char** argv) {
  // Line by line, so that the library's messages on stderr land between the
  // lines they belong to when both go to one log.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  CTesterProgram program(stdout, stdin);
  return program.Run(argc, argv);
}
