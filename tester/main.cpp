// libOrvexTester: exercises libOrvex on a connected camera through a user menu
// and a password-protected internal menu, or runs the tests named on the
// command line ("u7", "ib", ...).
#include <cstdio>

#include "TesterProgram.h"

int main(int argc, char** argv) {
  CTesterProgram program(stdout, stdin);
  return program.Run(argc, argv);
}
