// The process-wide list of open systems. A handle is valid exactly while its
// system is a member; membership is decided by pointer comparison only.
//
// Any thread may open, check and close systems at the same time. The list is
// guarded by one lock that is held only while the list itself is read or
// relinked: never across a transfer, a teardown or a callback.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "Orvex.h"

struct CPelSys;

namespace orvex {

bool IsOpenSystem(QV_Handle handle);

// The system behind handle, or null after reporting "Illegal Handle!".
CPelSys* CheckHandle(QV_Handle handle);

// Appends at the tail (the list stays in order of opening).
CPelSys* AppendSystem(std::unique_ptr<CPelSys> system);

// Unlinks the system, then tears down the camera, frees the description and
// the system. Of two threads closing the same system only the one that
// unlinked it tears it down; for the other the call does nothing.
void CloseSystem(CPelSys* system);
void CloseAllSystems();

CPelSys* FirstOpenSystem();
size_t OpenSystemCount();

// True when test holds for one of the open systems. The list stays locked
// while test runs, so test must only look at the system, never call out.
bool AnyOpenSystem(const std::function<bool(const CPelSys&)>& test);

// Collects the systems the current thread appends while it lives, so that an
// open ended by an exception closes exactly what it built itself and never a
// system another thread opened meanwhile.
class OpenTransaction {
 public:
  OpenTransaction();
  ~OpenTransaction();
  OpenTransaction(const OpenTransaction&) = delete;
  OpenTransaction& operator=(const OpenTransaction&) = delete;

  void CloseAppended();

  // Bookkeeping of the list: what the current thread appended or closed.
  static void NoteAppended(CPelSys* system);
  static void NoteClosed(CPelSys* system);

 private:
  std::vector<CPelSys*> appended_;
  OpenTransaction* enclosing_;
};

}  // namespace orvex
