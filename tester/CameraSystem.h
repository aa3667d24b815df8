// An open libOrvex system that is closed when the test leaves, however it leaves.
#pragma once

#include <cstdint>

#include "Orvex.h"

class CameraSystem {
 public:
  CameraSystem() = default;
  ~CameraSystem();
  CameraSystem(const CameraSystem&) = delete;
  CameraSystem& operator=(const CameraSystem&) = delete;

  // QV_Open's result: 1 when the system is open.
  int32_t Open(uint32_t mode, const char* openString);
  // QV_Close's result; 0 when nothing was open.
  int32_t Close();

  bool IsOpen() const { return handle_ != nullptr; }
  QV_Handle Handle() const { return handle_; }

 private:
  QV_Handle handle_ = nullptr;
};

// The one system all user tests drive.
extern const char* const kTestSystem;

// A failed open ends a test; QV_Open answers 1 for an open system.
constexpr bool OpenSucceeded(int32_t result) { return result >= 1; }
