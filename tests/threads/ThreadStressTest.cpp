// Four emulated cameras, each used by a thread of its own, open, set maps,
// acquire, process, record and close in a loop while a fifth thread lists
// the cameras and probes the handles the others are closing. A callback
// counts the messages per handle. CI also runs this program under
// ThreadSanitizer (scripts/tsan.sh), which turns any unguarded access to the
// library's process-wide state into a failure.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Orvex.h"
#include "core/SystemList.h"
#include "common/TempDataFolder.h"
#include "desc/NameLookup.h"
#include "platform/Sleep.h"

namespace {

constexpr int kCameras = 4;
constexpr int kCycles = 6;
constexpr int kAcquisitionsPerCycle = 3;
constexpr int32_t kA16Z16Bytes = 329216;  // CamMode 4, 8 frames
constexpr uint32_t kDataModeA16Z16 = 5;

// What the callback saw. It runs on the thread that caused the report, so a
// message about a system must arrive on the thread that uses that system.
struct MessageCounts {
  std::array<std::atomic<int>, kCameras> acquisitionRebuilds{};
  std::atomic<int> misdelivered{0};
  std::atomic<int> texts{0};
};
MessageCounts g_counts;
thread_local int t_worker = -1;
thread_local QV_Handle t_system = nullptr;

int32_t CountingCallback(QV_Handle handle, uint32_t kind, uint32_t, const char* text) {
  if (kind == QV_MSG_TEXT) {
    ++g_counts.texts;
    std::fprintf(stderr, "message: %s\n", text ? text : "");
  }
  if (!handle) return 0;
  if (handle != t_system || t_worker < 0) {
    ++g_counts.misdelivered;
  } else if (kind == QV_MSG_ACQ_BEGIN) {
    ++g_counts.acquisitionRebuilds[t_worker];
  }
  return 0;
}

struct Emulator {
  void* library = dlopen(ORVEX_EMULATOR_DIR "/libusb-0.1.so.4", RTLD_NOW | RTLD_GLOBAL);
  int (*configure)(const char*, char*, size_t) =
      library ? reinterpret_cast<decltype(configure)>(dlsym(library, "orvex_emu_configure")) : nullptr;
};

bool SetMap(QV_Handle h, const char* name, uint32_t value) {
  _Map* map = orvex::FindMap(QV_GetRegDesc(h), name);
  return map && QV_SetMap(h, map, value) == 0;
}

// One camera's loop; failures are counted rather than asserted, since
// gtest's assertions belong to the main thread.
struct Worker {
  int index = 0;
  std::string recording;
  std::atomic<QV_Handle>* published = nullptr;
  int failures = 0;
  int completeAcquisitions = 0;

  void Run() {
    t_worker = index;
    const std::string open = "sys=k7cam_tq20 serial=OVX000" + std::to_string(index + 1);
    for (int cycle = 0; cycle < kCycles; ++cycle) {
      QV_Handle h = nullptr;
      if (QV_Open(&h, QV_OPEN_USB_NO_FPGA, open.c_str()) != 1) {
        ++failures;
        continue;
      }
      t_system = h;
      published->store(h);
      Use(h);
      published->store(nullptr);
      if (QV_Close(h) != 0) ++failures;
      t_system = nullptr;
    }
  }

  void Use(QV_Handle h) {
    if (!SetMap(h, "CamMode", 4) || !SetMap(h, "SensNFrames", 8)) ++failures;
    if (QV_CreateStreamFile(h, recording.c_str()) != 0) ++failures;
    for (int i = 0; i < kAcquisitionsPerCycle; ++i) {
      if (QV_Acquire(h) == kA16Z16Bytes) ++completeAcquisitions;
      if (!QV_AllocCamData(h, 1, kDataModeA16Z16, 0, nullptr, 0) || !QV_ProcessCamData(h, 1, 0, nullptr)) ++failures;
    }
    if (QV_CreateStreamFile(h, nullptr) != 0) ++failures;
  }
};

TEST(ThreadStress, FourCamerasFourThreadsWhileAFifthListsAndProbes) {
  Emulator emulator;
  if (!emulator.configure) GTEST_SKIP() << "emulator not built";
  orvex_test::TempDataFolder folder;
  folder.CopyShippedData();
  ASSERT_EQ(emulator.configure("cameras = 4\nfpga = configured\n", nullptr, 0), 0);
  orvex::SleepFunction previousSleep = orvex::ReplaceSleepFunction(+[](uint32_t) {});
  QV_Callback previousCallback = QV_SetCallback(&CountingCallback);

  std::array<std::atomic<QV_Handle>, kCameras> published{};
  std::array<Worker, kCameras> workers;
  std::vector<std::thread> threads;
  for (int i = 0; i < kCameras; ++i) {
    workers[i].index = i;
    workers[i].recording = folder.ScratchPath("camera" + std::to_string(i) + ".qv");
    workers[i].published = &published[i];
    threads.emplace_back(&Worker::Run, &workers[i]);
  }
  std::atomic<bool> done{false};
  int listings = 0, wrongCounts = 0;
  std::thread lister([&] {
    char serials[17 * 8];
    while (!done.load()) {
      // A search never disturbs a camera another thread holds: all four stay listed.
      if (QV_GetSerials(serials) != kCameras) ++wrongCounts;
      ++listings;
      for (auto& handle : published) orvex::IsOpenSystem(handle.load());
    }
  });
  for (std::thread& thread : threads) thread.join();
  done.store(true);
  lister.join();

  QV_SetCallback(previousCallback);
  orvex::ReplaceSleepFunction(previousSleep);
  emulator.configure(nullptr, nullptr, 0);

  for (const Worker& worker : workers) {
    SCOPED_TRACE("camera " + std::to_string(worker.index));
    EXPECT_EQ(worker.failures, 0);
    EXPECT_EQ(worker.completeAcquisitions, kCycles * kAcquisitionsPerCycle);
    // Each open rebuilds the acquisition buffer once, on the camera's own thread.
    EXPECT_EQ(g_counts.acquisitionRebuilds[worker.index].load(), kCycles);
  }
  EXPECT_EQ(g_counts.misdelivered.load(), 0);
  EXPECT_EQ(g_counts.texts.load(), 0);
  EXPECT_GT(listings, 0);
  EXPECT_EQ(wrongCounts, 0);
  EXPECT_EQ(orvex::OpenSystemCount(), 0u);
}

}  // namespace
