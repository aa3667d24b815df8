// Several cameras, one thread each, against one camera in the same run. The
// emulated cameras are paced at the USB 2.0 link rate, so a library that lets
// the cameras' transfers run in parallel reaches close to N times the
// acquisitions per second of one camera; a process-wide lock across transfers
// would keep the ratio near 1. Counter "ratio_vs_one_camera": total
// acquisitions per second with N cameras / acquisitions per second with one.
#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "BenchSystem.h"
#include "Orvex.h"
#include "desc/NameLookup.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxCameras = 4;
constexpr int kAcquisitionsPerCamera = 8;
// 40 MB/s: what a USB 2.0 high-speed bulk link sustains in practice. Set here,
// so that an unpaced emulator (scripts/bench.sh) does not reach this benchmark.
constexpr const char* kEmulatorConfig = "cameras = 4\nfpga = configured\nlink_rate = 40\n\n";

bool ConfigureEmulator(std::string& error) {
  void* emulator = dlopen("libusb-0.1.so.4", RTLD_NOW | RTLD_GLOBAL);
  auto configure =
      emulator ? reinterpret_cast<int (*)(const char*, char*, size_t)>(dlsym(emulator, "orvex_emu_configure")) : nullptr;
  if (!configure) {
    error = "emulator not on LD_LIBRARY_PATH";
    return false;
  }
  char text[256] = {};
  if (configure(kEmulatorConfig, text, sizeof text) != 0) {
    error = std::string("emulator refuses the paced configuration: ") + text;
    return false;
  }
  return true;
}

// The cameras stay open over the whole benchmark; closed on destruction.
struct OpenCameras {
  std::vector<QV_Handle> handles;
  bool Open(int count) {
    for (int i = 0; i < count; ++i) {
      const std::string open = "sys=k7cam_tq20 serial=OVX000" + std::to_string(i + 1);
      QV_Handle h = nullptr;
      if (QV_Open(&h, QV_OPEN_USB, open.c_str()) != 1) return false;
      handles.push_back(h);
      _Map* mode = orvex::FindMap(QV_GetRegDesc(h), "CamMode");
      _Map* frames = orvex::FindMap(QV_GetRegDesc(h), "SensNFrames");
      if (!mode || !frames || QV_SetMap(h, mode, 4) != 0 || QV_SetMap(h, frames, 8) != 0) return false;
    }
    return true;
  }
  ~OpenCameras() {
    for (QV_Handle h : handles) QV_Close(h);
  }
};

// Every camera acquires kAcquisitionsPerCamera times in a thread of its own;
// the seconds until the last one is done.
double AcquireInParallel(const std::vector<QV_Handle>& cameras, int count, bool& ok) {
  std::vector<std::thread> threads;
  std::vector<char> failed(static_cast<size_t>(count), 0);
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      for (int k = 0; k < kAcquisitionsPerCamera; ++k)
        if (QV_Acquire(cameras[i]) < 0) failed[i] = 1;
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (char f : failed) ok = ok && !f;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_CamerasInParallel(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::string error;
  setenv("XDG_DATA_DIRS", ORVEX_SOURCE_DIR "/data", 1);
  if (!ConfigureEmulator(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  QV_SetCallback(&bench::Quiet);
  OpenCameras cameras;
  if (!cameras.Open(count)) {
    state.SkipWithError("cannot open the emulated cameras");
    return;
  }
  bool ok = true;
  double severalSeconds = 0, oneSeconds = 0;
  for (auto _ : state) {
    const double several = AcquireInParallel(cameras.handles, count, ok);
    // The reference: the first camera alone, as many acquisitions as each of the N made.
    const double one = AcquireInParallel(cameras.handles, 1, ok);
    state.SetIterationTime(several);
    severalSeconds += several;
    oneSeconds += one;
  }
  if (!ok) state.SkipWithError("an acquisition failed");
  const double iterations = static_cast<double>(state.iterations());
  state.counters["acquisitions_per_s"] = count * kAcquisitionsPerCamera * iterations / severalSeconds;
  state.counters["one_camera_per_s"] = kAcquisitionsPerCamera * iterations / oneSeconds;
  state.counters["ratio_vs_one_camera"] = count * oneSeconds / severalSeconds;
}
BENCHMARK(BM_CamerasInParallel)->Arg(1)->Arg(2)->Arg(kMaxCameras)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
