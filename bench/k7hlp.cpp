// Surface extraction, leveling and scaling per image, each set against a
// memcpy of the bytes it reads, measured in the same run (counter x_memcpy).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "K7Hlp.h"
#include "Record.h"

namespace {

constexpr uint32_t kWidth = 280, kHeight = 292, kFrames = 5;

// Best of several rounds: the time of one memcpy of `bytes` in nanoseconds.
double MemcpyNanoseconds(size_t bytes) {
  std::vector<char> from(bytes, 1), to(bytes);
  double best = 1e30;
  for (int round = 0; round < 50; ++round) {
    auto start = std::chrono::steady_clock::now();
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
    best = std::min(best, std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// Console lines of the scaling functions go to /dev/null while the loop runs.
class QuietStdout {
 public:
  QuietStdout() : saved_(dup(STDOUT_FILENO)) {
    std::fflush(stdout);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

struct Records {
  K7Hlp_Data raw{}, surface{}, out{};
  Records() {
    K7Hlp_alloc(&raw);
    K7Hlp_alloc(&surface);
    K7Hlp_alloc(&out);
  }
  ~Records() {
    K7Hlp_free(&raw);
    K7Hlp_free(&surface);
    K7Hlp_free(&out);
  }
};

// A window acquisition with a Gaussian-like pulse around the middle frame and a
// tilted coarse surface, header with a rising counter.
void MakeWindowRaw(K7Hlp_Data& raw) {
  const uint32_t dim[4] = {kWidth, kHeight, kFrames, 3};
  const size_t pixels = size_t{kWidth} * kHeight;
  uint16_t* w = k7hlp::GiveRawSamples(raw, dim, pixels * kFrames * 3);
  const uint16_t profile[kFrames] = {80, 400, 900, 500, 90};
  for (size_t i = 0; i < pixels; ++i) {
    for (uint32_t f = 0; f < kFrames; ++f) {
      w[i + pixels * f] = static_cast<uint16_t>(32 * (100 + i % kWidth / 4 + f));
      w[i + pixels * (f + kFrames)] = static_cast<uint16_t>(profile[f] + i % 7);
      w[i + pixels * (f + 2 * kFrames)] = static_cast<uint16_t>(8192 + 500 * f + i % 11);
    }
  }
  uint8_t* header = k7hlp::GiveHeader(raw, K7Hlp_headerCamera, 2048);
  const uint16_t frames = 300;
  std::memcpy(header + 2040, &frames, 2);
  for (uint16_t i = 0; i < frames; ++i) {
    const uint16_t count = static_cast<uint16_t>(1000 + 37 * i);
    std::memcpy(header + 32 + 2 * i, &count, 2);
  }
  const uint32_t frmDur = 70000;
  std::memcpy(header + 2020, &frmDur, 4);
  raw.param[K7Hlp_paramCamMode].value = 5;
  raw.param[K7Hlp_paramSensNavM2].value = 1;
}

void MakeA16Z16Raw(K7Hlp_Data& raw) {
  const uint32_t dim[4] = {kWidth + 1, kHeight + 1, 2, 0};
  const size_t pixels = size_t{kWidth + 1} * (kHeight + 1);
  uint16_t* w = k7hlp::GiveRawSamples(raw, dim, pixels * 2);
  for (size_t i = 0; i < 2 * pixels; ++i) w[i] = static_cast<uint16_t>(i * 13);
  k7hlp::GiveHeader(raw, K7Hlp_headerCamera, 2048);
  raw.param[K7Hlp_paramCamMode].value = 4;
}

// Wall time of the timed loop, so that the ratio compares like with like.
class LoopClock {
 public:
  LoopClock() : start_(std::chrono::steady_clock::now()) {}
  double Nanoseconds() const {
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

// x_memcpy: one call takes this many times a memcpy of the bytes it reads.
void Report(benchmark::State& state, const LoopClock& clock, size_t bytes) {
  const double perCall = clock.Nanoseconds() / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["x_memcpy"] = perCall / MemcpyNanoseconds(bytes);
}

void BM_ExtractWindow(benchmark::State& state) {
  Records r;
  MakeWindowRaw(r.raw);
  float threshold = 30.0f;
  const auto mode = static_cast<_K7Hlp_extractMode>(state.range(0));
  LoopClock clock;
  for (auto _ : state) benchmark::DoNotOptimize(K7Hlp_extractSurface(&r.raw, mode, &threshold, &r.surface));
  Report(state, clock, r.raw.dataSize);
}
BENCHMARK(BM_ExtractWindow)->Arg(K7Hlp_extractThreshold)->Arg(K7Hlp_extractCentroid)->Arg(K7Hlp_extractCentroidPhase);

void BM_ExtractA16Z16(benchmark::State& state) {
  Records r;
  MakeA16Z16Raw(r.raw);
  LoopClock clock;
  for (auto _ : state) benchmark::DoNotOptimize(K7Hlp_extractSurface(&r.raw, K7Hlp_extractCentroid, nullptr, &r.surface));
  Report(state, clock, r.raw.dataSize);
}
BENCHMARK(BM_ExtractA16Z16);

void BM_Leveling(benchmark::State& state) {
  Records r;
  MakeWindowRaw(r.raw);
  K7Hlp_extractSurface(&r.raw, K7Hlp_extractCentroid, nullptr, &r.surface);
  LoopClock clock;
  for (auto _ : state) benchmark::DoNotOptimize(K7Hlp_leveling(&r.surface, &r.out, 0, nullptr));
  Report(state, clock, r.surface.dataSize);
}
BENCHMARK(BM_Leveling);

void BM_InterpolateCross(benchmark::State& state) {
  Records r;
  MakeWindowRaw(r.raw);
  K7Hlp_extractSurface(&r.raw, K7Hlp_extractCentroid, nullptr, &r.surface);
  LoopClock clock;
  for (auto _ : state) benchmark::DoNotOptimize(K7Hlp_interpolateCross(&r.surface, &r.out, 1));
  Report(state, clock, r.surface.dataSize);
}
BENCHMARK(BM_InterpolateCross);

void BM_ScaleCounter(benchmark::State& state) {
  Records r;
  MakeWindowRaw(r.raw);
  K7Hlp_extractSurface(&r.raw, K7Hlp_extractCentroid, nullptr, &r.surface);
  uint32_t scale = 1000;
  LoopClock clock;
  {
    QuietStdout quiet;
    for (auto _ : state)
      benchmark::DoNotOptimize(K7Hlp_scaleSurface(&r.surface, &r.out, K7Hlp_scaleCounter, &scale));
  }
  Report(state, clock, r.surface.dataSize);
}
BENCHMARK(BM_ScaleCounter);

void BM_ScaleTable(benchmark::State& state) {
  Records r;
  MakeWindowRaw(r.raw);
  K7Hlp_extractSurface(&r.raw, K7Hlp_extractCentroid, nullptr, &r.surface);
  char path[] = "/tmp/k7hlp_bench_XXXXXX";
  int fd = mkstemp(path);
  std::FILE* file = fdopen(fd, "w");
  for (int i = 0; i < 400; ++i) std::fprintf(file, "%d %f\n", i, i * 0.5 + (i % 3) * 0.01);
  std::fclose(file);
  zTagHdl* table = nullptr;
  K7Hlp_zTagFileLoad(&table, path);
  LoopClock clock;
  {
    QuietStdout quiet;
    for (auto _ : state)
      benchmark::DoNotOptimize(K7Hlp_scaleSurface(&r.surface, &r.out, K7Hlp_scaleZTagHandle, table));
  }
  K7Hlp_zTagFileUnload(table);
  unlink(path);
  Report(state, clock, r.surface.dataSize);
}
BENCHMARK(BM_ScaleTable);

}  // namespace

BENCHMARK_MAIN();
