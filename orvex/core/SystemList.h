// The process-wide list of open systems. A handle is valid exactly while its
// system is a member; membership is decided by pointer comparison only.
#pragma once

#include <memory>

#include "Orvex.h"

struct CPelSys;

namespace orvex {

bool IsOpenSystem(QV_Handle handle);

// The system behind handle, or null after reporting "Illegal Handle!".
CPelSys* CheckHandle(QV_Handle handle);

// Appends at the tail (the list stays in order of opening).
CPelSys* AppendSystem(std::unique_ptr<CPelSys> system);

// Tears down the camera, frees the description, unlinks and frees the system.
void CloseSystem(CPelSys* system);
void CloseAllSystems();

CPelSys* FirstOpenSystem();
size_t OpenSystemCount();

}  // namespace orvex
