// One thread per camera: every listed camera is opened by its serial number in
// a thread of its own, which sets the camera mode, acquires and processes.
// Systems may be used at the same time as long as each stays with one thread;
// the message callback runs on the thread whose call caused the message.
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Orvex.h"

namespace {

constexpr int kAcquisitions = 20;

int32_t PrintProblems(QV_Handle handle, uint32_t kind, uint32_t value, const char* text) {
  // Keep it short: other cameras' calls wait for nothing, but this thread does.
  if (kind == QV_MSG_TEXT && (value & 0xFF) >= QV_LEVEL_WARNING)
    std::fprintf(stderr, "camera %p: %s\n", static_cast<void*>(handle), text ? text : "");
  return 0;
}

_Map* FindMap(QV_Handle handle, const char* name) {
  _RegDesc* desc = QV_GetRegDesc(handle);
  for (uint16_t i = 0; desc && i < desc->mapCount; ++i)
    if (desc->maps[i].id && std::strcmp(desc->maps[i].id, name) == 0) return &desc->maps[i];
  return nullptr;
}

struct CameraResult {
  std::string serial;
  int acquired = 0;
  int processed = 0;
};

void UseCamera(CameraResult& result) {
  const std::string open = "sys=k7cam_tq20 serial=" + result.serial;
  QV_Handle handle = nullptr;
  if (QV_Open(&handle, QV_OPEN_USB, open.c_str()) != 1) return;
  if (_Map* mode = FindMap(handle, "CamMode")) QV_SetMap(handle, mode, 4);  // A16Z16: amplitude and depth
  for (int i = 0; i < kAcquisitions; ++i) {
    if (QV_Acquire(handle) < 0) break;
    ++result.acquired;
    // Slot 0 holds the raw acquisition; slot 1 receives it processed.
    if (QV_AllocCamData(handle, 1, 5, 0, nullptr, 0) && QV_ProcessCamData(handle, 1, 0, nullptr)) ++result.processed;
  }
  QV_Close(handle);
}

// QV_GetSerials writes 17 bytes per camera into a buffer of unstated size, so
// the cameras are counted first.
std::vector<std::string> ConnectedSerials() {
  constexpr uint32_t kMaxCameras = 64;
  std::vector<char> buffer(17 * kMaxCameras);
  if (QV_GetSerials(nullptr) > kMaxCameras) return {};
  const uint32_t count = QV_GetSerials(buffer.data());
  std::vector<std::string> serials;
  for (uint32_t i = 0; i < count && i < kMaxCameras; ++i) serials.emplace_back(&buffer[17 * i]);
  return serials;
}

}  // namespace

int main() {
  QV_SetCallback(&PrintProblems);
  std::vector<CameraResult> results;
  for (const std::string& serial : ConnectedSerials()) results.push_back({serial});
  if (results.empty()) {
    std::printf("no camera connected\n");
    return 1;
  }
  std::vector<std::thread> threads;
  for (CameraResult& result : results) threads.emplace_back(UseCamera, std::ref(result));
  for (std::thread& thread : threads) thread.join();

  int status = 0;
  for (const CameraResult& result : results) {
    std::printf("%s: %d acquired, %d processed\n", result.serial.c_str(), result.acquired, result.processed);
    if (result.acquired != kAcquisitions || result.processed != kAcquisitions) status = 1;
  }
  return status;
}
