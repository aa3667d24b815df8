// Processing routines against two references measured in the same run:
//  - vs_memcpy: routine time / memcpy time of the bytes the routine writes,
//    both timed in every iteration (1.0 means as fast as a plain copy). The
//    ratio is of the fastest iterations of each, which a busy machine disturbs
//    least; vs_memcpy_mean is the ratio of the means;
//  - vs_one_thread: the routine on two threads / the same routine on one,
//    alternately in every iteration, for the records large enough to be split;
//  - vs_usb: (acquisition + processing) time / time the raw acquisition takes
//    on a USB 2.0 high-speed link at 40 MB/s (below 1.0 keeps up with the link).
// The acquisition is QV_Acquire on an unconnected camera (the pattern source
// fills slot 0), so it measures the host's work, not the link.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchSystem.h"
#include "Orvex.h"
#include "acq/ProcessRoutines.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

using namespace orvex;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kUsbBytesPerSecond = 40e6;

std::vector<uint8_t> Noise(size_t n) {
  std::vector<uint8_t> b(n);
  std::mt19937 rng(1);
  for (size_t i = 0; i < n; i += 4) {
    uint32_t v = rng() & 0x03FF03FF;  // ten-bit words, like sensor data
    std::memcpy(&b[i], &v, std::min<size_t>(4, n - i));
  }
  return b;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Times reference() and routine() alternately in each iteration: the routine's
// time is the iteration time, the ratios of the two go to the counters NAME
// (fastest runs) and NAME_mean.
template <class Reference, class Routine>
void AgainstReference(benchmark::State& state, size_t bytes, const std::string& name, Reference reference,
                      Routine routine) {
  double routineTime = 0, referenceTime = 0, routineMin = 1e9, referenceMin = 1e9;
  for (auto _ : state) {
    auto t0 = Clock::now();
    reference();
    benchmark::ClobberMemory();
    auto t1 = Clock::now();
    routine();
    benchmark::ClobberMemory();
    auto t2 = Clock::now();
    referenceTime += Seconds(t1 - t0);
    routineTime += Seconds(t2 - t1);
    referenceMin = std::min(referenceMin, Seconds(t1 - t0));
    routineMin = std::min(routineMin, Seconds(t2 - t1));
    state.SetIterationTime(Seconds(t2 - t1));
  }
  state.counters[name] = routineMin / referenceMin;
  state.counters[name + "_mean"] = routineTime / referenceTime;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// Times routine() and a memcpy of `bytes` alternately in each iteration.
template <class Routine>
void AgainstMemcpy(benchmark::State& state, size_t bytes, Routine routine) {
  std::vector<uint8_t> from = Noise(bytes), to(bytes);
  AgainstReference(state, bytes, "vs_memcpy", [&] { std::memcpy(to.data(), from.data(), bytes); }, routine);
}

void BM_Regroup(benchmark::State& state, StackShape shape) {
  const uint32_t frames = static_cast<uint32_t>(state.range(0));
  const size_t bytes = StackBytes(shape, frames);
  std::vector<uint8_t> src = Noise(bytes), dst(bytes);
  AgainstMemcpy(state, bytes, [&] { RegroupFrames(src.data(), bytes, dst.data(), bytes, shape, frames); });
}
BENCHMARK_CAPTURE(BM_Regroup, u32_300x300, kStack300x300x32)->Arg(1)->Arg(10)->Arg(32)->Arg(200)->UseManualTime();
BENCHMARK_CAPTURE(BM_Regroup, u16_282x292, kStack282x292x16)->Arg(10)->Arg(32)->UseManualTime();
BENCHMARK_CAPTURE(BM_Regroup, u8_282x292, kStack282x292x8)->Arg(10)->Arg(32)->UseManualTime();

void BM_CentreCross(benchmark::State& state) {
  std::vector<uint8_t> src = Noise(kA16Z16Bytes), dst(kA16Z16CrossBytes);
  AgainstMemcpy(state, kA16Z16CrossBytes,
                [&] { WidenCentreCross(src.data(), src.size(), dst.data(), dst.size()); });
}
BENCHMARK(BM_CentreCross)->UseManualTime();

void BM_ExpandWindow(benchmark::State& state) {
  const uint32_t h = static_cast<uint32_t>(state.range(0));
  std::vector<uint8_t> src = Noise(CompactWindowBytes(h)), dst(ExpandedWindowBytes(h));
  AgainstMemcpy(state, dst.size(), [&] { ExpandWindow(src.data(), src.size(), dst.data(), dst.size(), h); });
}
BENCHMARK(BM_ExpandWindow)->Arg(0)->Arg(3)->Arg(10)->UseManualTime();

void BM_Offset(benchmark::State& state) {
  std::vector<uint8_t> data = Noise(kA16Z16Bytes), offsets = Noise(kA16Z16Bytes);
  AgainstMemcpy(state, data.size(), [&] { AddSurfaceOffsets(data.data(), offsets.data(), data.size() / 2); });
}
BENCHMARK(BM_Offset)->UseManualTime();

void BM_Intensity(benchmark::State& state) {
  const uint32_t frames = static_cast<uint32_t>(state.range(0)), dark = 3;
  const size_t bytes = StackBytes(kStack300x300x32, frames);
  std::vector<uint8_t> src = Noise(bytes), dst(bytes);
  IntensityParams params{frames, dark, ExposureFactor(2)};
  AgainstMemcpy(state, bytes, [&] { ComputeIntensity(src.data(), bytes, dst.data(), bytes, params); });
}
BENCHMARK(BM_Intensity)->Arg(8)->Arg(16)->Arg(32)->UseManualTime();

// The routine with two threads against itself with one (the thread count is its argument).
template <class Routine>
void AgainstOneThread(benchmark::State& state, size_t bytes, Routine routine) {
  AgainstReference(state, bytes, "vs_one_thread", [&] { routine(1u); }, [&] { routine(2u); });
}

void BM_RegroupThreads(benchmark::State& state) {
  const uint32_t frames = static_cast<uint32_t>(state.range(0));
  const size_t bytes = StackBytes(kStack300x300x32, frames);
  std::vector<uint8_t> src = Noise(bytes), dst(bytes);
  AgainstOneThread(state, bytes, [&](uint32_t threads) {
    RegroupFrames(BestSimdLevel(), src.data(), bytes, dst.data(), bytes, kStack300x300x32, frames, threads);
  });
}
BENCHMARK(BM_RegroupThreads)->Arg(32)->Arg(200)->UseManualTime();

void BM_ExpandWindowThreads(benchmark::State& state) {
  const uint32_t h = static_cast<uint32_t>(state.range(0));
  std::vector<uint8_t> src = Noise(CompactWindowBytes(h)), dst(ExpandedWindowBytes(h));
  AgainstOneThread(state, dst.size(), [&](uint32_t threads) {
    ExpandWindow(BestSimdLevel(), src.data(), src.size(), dst.data(), dst.size(), h, threads);
  });
}
BENCHMARK(BM_ExpandWindowThreads)->Arg(10)->UseManualTime();

// An unconnected camera: QV_Acquire fills slot 0 from the pattern source.
QV_Handle OpenBenchSystem(uint8_t camMode, uint8_t frames) {
  QV_Handle system = bench::BuildBenchSystem("sys=bench");
  CPelCam& camera = *system->camera;
  camera.SetReg(3, camMode);
  camera.SetReg(0x10, frames);
  camera.SetReg(0x12, 3);
  camera.SetReg(0x13, 1);
  camera.SetReg(0x1D, 10);
  return system;
}

// One acquisition as an application does it: QV_Acquire, then processing into
// slot 1 (allocated once, without header and padding, as QV_AllocCamData does).
void BM_AcquireAndProcess(benchmark::State& state, uint8_t camMode, uint32_t mode, uint16_t dstFlags) {
  QV_Callback previous = QV_SetCallback(&bench::Quiet);
  QV_Handle handle = OpenBenchSystem(camMode, static_cast<uint8_t>(state.range(0)));
  QV_AllocCamData(handle, 1, mode, dstFlags, nullptr, 0);
  double total = 0, fastest = 1e9;
  int32_t bytes = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    bytes = QV_Acquire(handle);
    _CamData* result = QV_ProcessCamData(handle, 1, 0, nullptr);
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
    auto t1 = Clock::now();
    total += Seconds(t1 - t0);
    fastest = std::min(fastest, Seconds(t1 - t0));
    state.SetIterationTime(Seconds(t1 - t0));
    if (bytes <= 0 || !result) {
      state.SkipWithError("acquisition or processing failed");
      break;
    }
  }
  const double linkTime = bytes / kUsbBytesPerSecond;
  state.counters["vs_usb"] = fastest / linkTime;
  state.counters["vs_usb_mean"] = total / double(state.iterations()) / linkTime;
  state.counters["raw_bytes"] = bytes;
  QV_Close(handle);
  QV_SetCallback(previous);
}
BENCHMARK_CAPTURE(BM_AcquireAndProcess, iq16, uint8_t{0}, 1u, uint16_t{0})->Arg(10)->UseManualTime();
BENCHMARK_CAPTURE(BM_AcquireAndProcess, a16, uint8_t{1}, 3u, uint16_t{0})->Arg(10)->UseManualTime();
BENCHMARK_CAPTURE(BM_AcquireAndProcess, a8, uint8_t{1 | 8}, 4u, uint16_t{0})->Arg(10)->UseManualTime();
BENCHMARK_CAPTURE(BM_AcquireAndProcess, a16z16_cross, uint8_t{4}, 5u, uint16_t{QV_CD_CROSS})->Arg(1)->UseManualTime();
BENCHMARK_CAPTURE(BM_AcquireAndProcess, window_h10, uint8_t{5}, 6u, uint16_t{0})->Arg(1)->UseManualTime();
BENCHMARK_CAPTURE(BM_AcquireAndProcess, intensity, uint8_t{3}, 7u, uint16_t{0})->Arg(10)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
