// The command table of orvexctl: one entry per command, in the order --help
// lists them.
#pragma once

#include "Cli.h"

namespace orvexctl {

struct Command {
  const char* name;  // null ends the table
  int (*run)(const Options&);
  const char* usage;
  const char* help;
};

// The table, ended by an entry without a name.
const Command* Commands();
const Command* FindCommand(const char* name);

}  // namespace orvexctl
