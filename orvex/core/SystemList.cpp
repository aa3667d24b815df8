#include "core/SystemList.h"

#include <algorithm>
#include <mutex>

#include "core/Messages.h"
#include "core/PelSys.h"

namespace orvex {
namespace {

// Plain objects: the list and its lock must stay intact until the unload
// handler has closed every system, whatever the order of static destruction
// (std::mutex is constant-initialised and has nothing to destroy).
CPelSys* g_head = nullptr;
std::mutex g_listLock;

thread_local OpenTransaction* t_openTransaction = nullptr;

bool IsMemberLocked(const CPelSys* handle) {
  for (CPelSys* system = g_head; system; system = system->next)
    if (system == handle) return true;
  return false;
}

bool Unlink(CPelSys* system) {
  std::lock_guard<std::mutex> lock(g_listLock);
  for (CPelSys** link = &g_head; *link; link = &(*link)->next) {
    if (*link == system) {
      *link = system->next;
      system->next = nullptr;
      return true;
    }
  }
  return false;
}

CPelSys* UnlinkHead() {
  std::lock_guard<std::mutex> lock(g_listLock);
  CPelSys* system = g_head;
  if (system) {
    g_head = system->next;
    system->next = nullptr;
  }
  return system;
}

// Outside the lock: the camera's teardown talks to the device and may report.
void Destroy(CPelSys* system) {
  system->camera.reset();
  system->sysDesc.reset();
  delete system;
}

}  // namespace

bool IsOpenSystem(QV_Handle handle) {
  if (!handle) return false;
  std::lock_guard<std::mutex> lock(g_listLock);
  return IsMemberLocked(handle);
}

CPelSys* CheckHandle(QV_Handle handle) {
  if (IsOpenSystem(handle)) return handle;
  Notify(nullptr, QV_MSG_TEXT, kMsgIllegalHandle, "Illegal Handle!");
  return nullptr;
}

CPelSys* AppendSystem(std::unique_ptr<CPelSys> system) {
  CPelSys* appended = system.get();
  {
    std::lock_guard<std::mutex> lock(g_listLock);
    CPelSys** link = &g_head;
    while (*link) link = &(*link)->next;
    system->next = nullptr;
    *link = system.release();
  }
  OpenTransaction::NoteAppended(appended);
  return appended;
}

void CloseSystem(CPelSys* system) {
  if (!system || !Unlink(system)) return;
  OpenTransaction::NoteClosed(system);
  Destroy(system);
}

void CloseAllSystems() {
  while (CPelSys* system = UnlinkHead()) {
    OpenTransaction::NoteClosed(system);
    Destroy(system);
  }
}

CPelSys* FirstOpenSystem() {
  std::lock_guard<std::mutex> lock(g_listLock);
  return g_head;
}

size_t OpenSystemCount() {
  std::lock_guard<std::mutex> lock(g_listLock);
  size_t count = 0;
  for (CPelSys* system = g_head; system; system = system->next) ++count;
  return count;
}

bool AnyOpenSystem(const std::function<bool(const CPelSys&)>& test) {
  std::lock_guard<std::mutex> lock(g_listLock);
  for (CPelSys* system = g_head; system; system = system->next)
    if (test(*system)) return true;
  return false;
}

OpenTransaction::OpenTransaction() : enclosing_(t_openTransaction) { t_openTransaction = this; }

OpenTransaction::~OpenTransaction() { t_openTransaction = enclosing_; }

void OpenTransaction::NoteAppended(CPelSys* system) {
  if (t_openTransaction) t_openTransaction->appended_.push_back(system);
}

// A closed system's address may come back for another thread's next system.
void OpenTransaction::NoteClosed(CPelSys* system) {
  for (OpenTransaction* open = t_openTransaction; open; open = open->enclosing_) {
    auto& list = open->appended_;
    list.erase(std::remove(list.begin(), list.end(), system), list.end());
  }
}

void OpenTransaction::CloseAppended() {
  // Newest first, as an open tears down what it built.
  while (!appended_.empty()) {
    CPelSys* system = appended_.back();
    appended_.pop_back();
    CloseSystem(system);
  }
}

}  // namespace orvex
