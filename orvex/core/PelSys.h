#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "Orvex.h"
#include "core/PelCam.h"

// One open system: the object behind a QV_Handle.
struct CPelSys {
  std::string name;                  // the complete open string
  std::unique_ptr<CPelCam> camera;   // never empty for an open system
  orvex::BlockPtr<_SysDesc> sysDesc; // selected system description
  CPelSys* next = nullptr;           // open-system list link
};
