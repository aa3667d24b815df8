// Acquisition hot paths, each timed against a reference of the same bytes in
// the same run: the pattern source against a memcpy of the acquisition, the
// replay of a stream file against a plain read of the same file bytes.
// The counter "ratio" is operation time / reference time.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSystem.h"
#include "Orvex.h"
#include "acq/StreamOpen.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "usb/DeviceSearch.h"
#include "usb/UsbInterface.h"
#include "usb/UsbLibrary.h"

namespace {

using bench::BuildBenchSystem;

using Clock = std::chrono::steady_clock;



// IQ16 with `frames` frames: 360000 bytes per frame.
QV_Handle OpenPatternSystem(uint8_t frames) {
  CPelSys* system = BuildBenchSystem("sys=bench");
  system->camera->SetReg(3, 0);
  system->camera->SetReg(0x10, frames);
  return system;
}

uint32_t AcquisitionBytes(QV_Handle h) {
  _CamData* record = QV_GetCamData(h, 0, 0, nullptr);
  return record ? record->size : 0;
}

template <class Op, class Ref>
void TimeAgainst(benchmark::State& state, Op op, Ref ref, size_t bytes) {
  double opSeconds = 0, refSeconds = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    op();
    auto t1 = Clock::now();
    ref();
    auto t2 = Clock::now();
    double seconds = std::chrono::duration<double>(t1 - t0).count();
    state.SetIterationTime(seconds);
    opSeconds += seconds;
    refSeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["ratio"] = refSeconds > 0 ? opSeconds / refSeconds : 0;
}

void BM_AcquirePatternVsMemcpy(benchmark::State& state) {
  QV_SetCallback(&bench::Quiet);
  QV_Handle h = OpenPatternSystem(static_cast<uint8_t>(state.range(0)));
  QV_Acquire(h);
  const uint32_t bytes = AcquisitionBytes(h);
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  TimeAgainst(
      state, [&] { benchmark::DoNotOptimize(QV_Acquire(h)); },
      [&] {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
      },
      bytes);
  QV_Close(h);
}
BENCHMARK(BM_AcquirePatternVsMemcpy)->Arg(1)->Arg(16)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The emulated camera (build/emulator on LD_LIBRARY_PATH): one bulk read of an
// A16Z16 acquisition per iteration, against a memcpy of the same bytes.
void BM_AcquireEmulatorVsMemcpy(benchmark::State& state) {
  QV_SetCallback(&bench::Quiet);
  void* emulator = dlopen("libusb-0.1.so.4", RTLD_NOW | RTLD_GLOBAL);
  auto configure = emulator ? reinterpret_cast<int (*)(const char*, char*, size_t)>(dlsym(emulator, "orvex_emu_configure"))
                            : nullptr;
  if (!configure || configure("fpga = configured\n", nullptr, 0) != 0 || orvex::LoadUsbLibrary() != 0) {
    state.SkipWithError("emulator not on LD_LIBRARY_PATH");
    return;
  }
  usb_dev_handle* device = orvex::FindCameraDevice(orvex::DeviceSelection{});
  if (!device) {
    state.SkipWithError("no emulated camera");
    return;
  }
  CPelSys* system = BuildBenchSystem("sys=bench");
  CPelCam& camera = *system->camera;
  camera.usb = std::make_unique<orvex::CUsbInterface>();
  camera.usb->device = device;
  camera.interfaceKind = orvex::kUsbDevice;
  // The bench system has no system description to speak the register
  // protocol with, so the device side is set through the emulator.
  auto setRegister = reinterpret_cast<int (*)(int, uint8_t, uint8_t)>(dlsym(emulator, "orvex_emu_set_register"));
  camera.regImage[3] = 4;  // A16Z16
  if (setRegister) setRegister(0, 3, 4);
  int32_t first = QV_Acquire(system);
  const uint32_t bytes = AcquisitionBytes(system);
  if (first != static_cast<int32_t>(bytes)) {
    state.SkipWithError(("acquisition failed: " + std::to_string(first)).c_str());
    QV_Close(system);
    return;
  }
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  TimeAgainst(
      state, [&] { benchmark::DoNotOptimize(QV_Acquire(system)); },
      [&] {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
      },
      bytes);
  QV_Close(system);
}
BENCHMARK(BM_AcquireEmulatorVsMemcpy)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ReplayVsPlainRead(benchmark::State& state) {
  QV_SetCallback(&bench::Quiet);
  const int kAcquisitions = 8;
  char path[] = "/tmp/orvex-bench-XXXXXX";
  int tmp = mkstemp(path);
  if (tmp < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  close(tmp);
  QV_Handle recorder = OpenPatternSystem(static_cast<uint8_t>(state.range(0)));
  QV_CreateStreamFile(recorder, path);
  for (int i = 0; i < kAcquisitions; ++i) QV_Acquire(recorder);
  const uint32_t bytes = AcquisitionBytes(recorder);
  QV_CreateStreamFile(recorder, nullptr);
  QV_Close(recorder);

  QV_Handle h = orvex::OpenSystemOnStream(path, &BuildBenchSystem);
  int fd = open(path, O_RDONLY);
  std::vector<uint8_t> buffer(bytes);
  off_t offset = 0;
  TimeAgainst(
      state,
      [&] {
        if (QV_Acquire(h) == -2) {
          QV_FileStreamCmd(h, 3, 0, nullptr);
          QV_Acquire(h);
        }
      },
      [&] {
        if (pread(fd, buffer.data(), bytes, offset) != static_cast<ssize_t>(bytes)) offset = 0;
        offset += bytes;
        benchmark::ClobberMemory();
      },
      bytes);
  close(fd);
  QV_Close(h);
  unlink(path);
}
BENCHMARK(BM_ReplayVsPlainRead)->Arg(1)->Arg(16)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
