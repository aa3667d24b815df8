// Stream files are outside input: the whole replay path (signature, init
// object, register snapshot, acquisitions, skips, seeks, typed reads) runs over
// arbitrary bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Orvex.h"
#include "acq/ReplayRestart.h"
#include "acq/StreamCommands.h"
#include "acq/StreamReplay.h"
#include "common/MemorySystem.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

namespace {

int32_t Quiet(QV_Handle, uint32_t, uint32_t, const char*) { return 0; }

std::string WriteToMemoryFile(const uint8_t* data, size_t size, int& fd) {
  fd = memfd_create("stream", 0);
  if (fd < 0) return {};
  if (size && write(fd, data, size) != static_cast<ssize_t>(size)) return {};
  return "/proc/self/fd/" + std::to_string(fd);
}

void Exercise(CPelCam& camera) {
  std::vector<uint8_t> buffer;
  bool restarted = false;
  for (int step = 0; step < 64; ++step) {
    QV_StreamObject peek{};
    if (orvex::RunStreamCommand(camera, 7, 0, &peek) == 0 && peek.type == 3 && peek.size <= (16u << 20)) {
      buffer.resize(peek.size);
      int32_t result = orvex::ReadNextAcquisition(camera, buffer.data(), peek.size);
      if (result == -2 && !restarted) {
        orvex::RestartReplayFromBeginning(camera.Handle());
        restarted = true;
      }
      continue;
    }
    if (peek.size <= 4096) {
      buffer.resize(peek.size);
      QV_StreamObject object{peek.type, peek.size, buffer.data()};
      if (orvex::RunStreamCommand(camera, 8, 0, &object) >= 0) continue;
    }
    if (orvex::RunStreamCommand(camera, 9, 0, nullptr) < 0) break;
  }
  orvex::RunStreamCommand(camera, 5, 0, nullptr);
  orvex::RunStreamCommand(camera, 3, 1, nullptr);
  uint8_t small[16];
  orvex::ReadNextAcquisition(camera, small, sizeof small);
  orvex::RunStreamCommand(camera, 3, 1000, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QV_SetCallback(&Quiet);
  int fd = -1;
  std::string path = WriteToMemoryFile(data, size, fd);
  if (!path.empty()) {
    std::string openString;
    std::unique_ptr<CQVFileIO> stream = orvex::OpenReplayStream(path.c_str(), openString);
    if (stream) {
      CPelSys* open = orvex_test::OpenMemorySystem(openString, 64);
      if (orvex::ConnectStream(*open->camera, std::move(stream)) == 0) Exercise(*open->camera);
      orvex::CloseSystem(open);
    }
  }
  if (fd >= 0) close(fd);
  return 0;
}
