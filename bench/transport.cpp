// Acquisitions from a camera through whichever libusb-0.1 this process
// loaded. scripts/bench-transport.sh runs it on the in-process stand-in and on
// usbfs under orvex-vcam in the same run, both paced at the same link rate, and
// prints the ratios: host CPU time per acquisition (usbfs against in-process)
// and the achieved rate against the configured link rate.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>

#include "BenchSystem.h"
#include "Orvex.h"

namespace {

constexpr uint8_t kRegCamMode = 0x03;
constexpr uint8_t kRegFrames = 0x10;

// CPU time of the whole process: libusb-0.1 waits for URBs in the calling thread.
double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// range(0): camera mode register value, range(1): frames.
void BM_CameraAcquire(benchmark::State& state) {
  QV_SetCallback(&bench::Quiet);
  QV_Handle h = nullptr;
  if (QV_Open(&h, QV_OPEN_USB_NO_FPGA, "sys=k7cam_tq20") != 1) {
    state.SkipWithError("no camera");
    return;
  }
  QV_SetReg(h, kRegCamMode, static_cast<uint8_t>(state.range(0)));
  QV_SetReg(h, kRegFrames, static_cast<uint8_t>(state.range(1)));
  QV_Acquire(h);  // the buffer is built outside the timing
  int64_t bytes = 0;
  double cpu0 = ProcessCpuSeconds();
  for (auto _ : state) {
    int32_t n = QV_Acquire(h);
    if (n <= 0) {
      state.SkipWithError("acquisition failed");
      break;
    }
    bytes += n;
  }
  double cpu = ProcessCpuSeconds() - cpu0;
  QV_Close(h);
  state.SetBytesProcessed(bytes);
  state.counters["cpu_ms_per_acq"] = state.iterations() ? 1e3 * cpu / double(state.iterations()) : 0;
  state.counters["MBps"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsRate);
}

// A16Z16 (327040 data bytes) and IQ16 with 8 frames (2.9 MB).
BENCHMARK(BM_CameraAcquire)->Args({4, 1})->Args({0, 8})->Iterations(60)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
