// Finding maps and registers of a register description by their exact names.
#pragma once

#include "Orvex.h"

_Map* FindMapByName(const _RegDesc* desc, const char* name);
_Reg* FindRegByName(const _RegDesc* desc, const char* name);

// A text of the description that may be missing, ready for printing.
const char* TextOrEmpty(const char* text);
