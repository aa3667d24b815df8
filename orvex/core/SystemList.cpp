#include "core/SystemList.h"

#include "core/Messages.h"
#include "core/PelSys.h"

namespace orvex {
namespace {

// A plain pointer: the list must stay intact until the unload handler has
// closed every system, whatever the order of static destruction.
CPelSys* g_head = nullptr;

}  // namespace

bool IsOpenSystem(QV_Handle handle) {
  if (!handle) return false;
  for (CPelSys* system = g_head; system; system = system->next)
    if (system == handle) return true;
  return false;
}

CPelSys* CheckHandle(QV_Handle handle) {
  if (IsOpenSystem(handle)) return handle;
  Notify(nullptr, QV_MSG_TEXT, kMsgIllegalHandle, "Illegal Handle!");
  return nullptr;
}

CPelSys* AppendSystem(std::unique_ptr<CPelSys> system) {
  CPelSys** link = &g_head;
  while (*link) link = &(*link)->next;
  system->next = nullptr;
  *link = system.release();
  return *link;
}

void CloseSystem(CPelSys* system) {
  if (!system) return;
  system->camera.reset();
  system->sysDesc.reset();
  for (CPelSys** link = &g_head; *link; link = &(*link)->next) {
    if (*link == system) {
      *link = system->next;
      break;
    }
  }
  delete system;
}

void CloseAllSystems() {
  while (g_head) CloseSystem(g_head);
}

CPelSys* FirstOpenSystem() { return g_head; }

size_t OpenSystemCount() {
  size_t count = 0;
  for (CPelSys* system = g_head; system; system = system->next) ++count;
  return count;
}

}  // namespace orvex
