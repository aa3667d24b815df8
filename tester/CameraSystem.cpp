#include "CameraSystem.h"

const char* const kTestSystem = "sys=k7cam_tq20";

CameraSystem::~CameraSystem() { Close(); }

int32_t CameraSystem::Open(uint32_t mode, const char* openString) {
  Close();
  QV_Handle handle = nullptr;
  int32_t result = QV_Open(&handle, mode, openString);
  if (OpenSucceeded(result)) handle_ = handle;
  return result;
}

int32_t CameraSystem::Close() {
  if (!handle_) return 0;
  QV_Handle handle = handle_;
  handle_ = nullptr;
  return QV_Close(handle);
}
