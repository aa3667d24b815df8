// Until acquisition and processing are part of the library, a stand-in for
// QV_Acquire, QV_GetCamData and QV_ProcessCamData that follows their rules for
// slot 0 and fills the buffer with word i = i.
#pragma once

#include <cstdint>

namespace lvtest {

struct AcquireCalls {
  int acquire = 0;
  int process = 0;
};
AcquireCalls& Calls();

}  // namespace lvtest
