// Load and unload accounting: the last detach closes every system still open.
#include "core/Messages.h"
#include "core/SystemList.h"

namespace {

int g_attachCount = 0;

__attribute__((constructor)) void OnLibraryAttach() { ++g_attachCount; }

__attribute__((destructor)) void OnLibraryDetach() {
  if (g_attachCount > 0 && --g_attachCount == 0) {
    orvex::CloseAllSystems();
    orvex::DestroyProgressWindow();
  }
}

}  // namespace
