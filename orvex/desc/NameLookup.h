// Name lookup in a register description: the one place every caller uses.
// Callers that accept either kind look among the maps first.
#pragma once

#include "Orvex.h"

namespace orvex {

// First map in order whose id equals name exactly; null when none (or no name).
_Map* FindMap(const _RegDesc* desc, const char* name);
// First register in order whose id equals name exactly; null when none.
_Reg* FindReg(const _RegDesc* desc, const char* name);

}  // namespace orvex
