// What one acquisition costs the host from end to end: the bulk read from the
// emulated camera, processing into slot 1 and, for the surface modes, the
// surface extraction of libK7Hlp. Set against the time the same raw bytes take
// on a USB 2.0 high-speed link (computed at 40 MB/s, a practical bulk rate, and
// 60 MB/s, the theoretical one): below 1.0 the host keeps up with the link.
// The emulator renders every acquisition from its scene inside the read, so
// the measured time is an upper bound of the host's own work.
// The replay of a recording is set against a plain read of the same bytes of
// the same file, measured in the same iterations.
//
// Counters: vs_usb40, vs_usb60 (fastest iteration / link time), *_mean (the
// same from the mean), vs_usb40_after_read (processing and extraction alone),
// vs_read (replay / plain read, fastest iterations).
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchSystem.h"
#include "K7Hlp.h"
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
constexpr double kUsbPractical = 40e6, kUsbTheoretical = 60e6;  // bytes per second

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }


struct Setting {
  uint8_t camMode;
  uint8_t frames;
  uint8_t halfWindow;
  uint32_t dataMode;  // slot 1
  bool extract;       // run libK7Hlp on the result
};

// The emulated camera (build/emulator on LD_LIBRARY_PATH), connected to a
// bench system without a system description: the device registers are set
// through the emulator, the host's register image by hand.
class EmulatedCamera {
 public:
  explicit EmulatedCamera(const Setting& s) {
    void* emulator = dlopen("libusb-0.1.so.4", RTLD_NOW | RTLD_GLOBAL);
    auto configure = emulator ? reinterpret_cast<int (*)(const char*, char*, size_t)>(dlsym(emulator, "orvex_emu_configure"))
                              : nullptr;
    auto setRegister =
        emulator ? reinterpret_cast<int (*)(int, uint8_t, uint8_t)>(dlsym(emulator, "orvex_emu_set_register")) : nullptr;
    if (!configure || !setRegister || configure("fpga = configured\nregister = 2:4\n", nullptr, 0) != 0 ||
        orvex::LoadUsbLibrary() != 0)
      return;
    usb_dev_handle* device = orvex::FindCameraDevice(orvex::DeviceSelection{});
    if (!device) return;
    system_ = BuildBenchSystem("sys=bench");
    CPelCam& camera = *system_->camera;
    camera.usb = std::make_unique<orvex::CUsbInterface>();
    camera.usb->device = device;
    camera.interfaceKind = orvex::kUsbDevice;
    const uint8_t values[][2] = {{3, s.camMode}, {0x10, s.frames}, {0x11, 0}, {0x1D, s.halfWindow}};
    for (const auto& v : values) {
      camera.regImage[v[0]] = v[1];
      setRegister(0, v[0], v[1]);
    }
  }
  ~EmulatedCamera() {
    if (system_) QV_Close(system_);
  }
  QV_Handle handle() const { return system_; }

 private:
  CPelSys* system_ = nullptr;
};

struct SurfaceRecords {
  K7Hlp_Data raw{}, surface{};
  SurfaceRecords() {
    K7Hlp_alloc(&raw);
    K7Hlp_alloc(&surface);
  }
  ~SurfaceRecords() {
    K7Hlp_free(&surface);
    K7Hlp_free(&raw);
  }
};

// One acquisition as an application handles it; false when a step failed.
// readSeconds is the time of QV_Acquire alone (the emulator renders inside it).
bool AcquireProcessExtract(QV_Handle h, const Setting& s, SurfaceRecords& records, int32_t& bytes,
                           double& readSeconds) {
  auto t0 = Clock::now();
  bytes = QV_Acquire(h);
  readSeconds = Seconds(Clock::now() - t0);
  if (bytes <= 0 || !QV_ProcessCamData(h, 1, 0, nullptr)) return false;
  if (!s.extract) return true;
  _CamDataMeta meta{};
  _CamData* processed = QV_GetCamData(h, 1, 0, &meta);
  _CamData* acquisition = QV_GetCamData(h, 0, 0, nullptr);
  return K7Hlp_assignRawData(h, acquisition->data, &meta, processed, &records.raw) == 0 &&
         K7Hlp_extractSurface(&records.raw, K7Hlp_extractCentroid, nullptr, &records.surface) == 0;
}

void BM_PipelineVsUsbLink(benchmark::State& state, Setting s) {
  QV_Callback previous = QV_SetCallback(&bench::Quiet);
  EmulatedCamera camera(s);
  QV_Handle h = camera.handle();
  if (!h || !QV_AllocCamData(h, 1, s.dataMode, 0, nullptr, 0)) {
    state.SkipWithError("emulator not on LD_LIBRARY_PATH");
    QV_SetCallback(previous);
    return;
  }
  SurfaceRecords records;
  int32_t bytes = 0;
  double total = 0, fastest = 1e9, afterReadFastest = 1e9, readSeconds = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    bool ok = AcquireProcessExtract(h, s, records, bytes, readSeconds);
    benchmark::ClobberMemory();
    double seconds = Seconds(Clock::now() - t0);
    if (!ok) {
      state.SkipWithError(("acquisition, processing or extraction failed: " + std::string(K7Hlp_getLastError())).c_str());
      break;
    }
    state.SetIterationTime(seconds);
    total += seconds;
    fastest = std::min(fastest, seconds);
    afterReadFastest = std::min(afterReadFastest, seconds - readSeconds);
  }
  const double mean = state.iterations() ? total / double(state.iterations()) : 0;
  state.counters["raw_MB"] = bytes / 1e6;
  state.counters["vs_usb40"] = fastest / (bytes / kUsbPractical);
  state.counters["vs_usb60"] = fastest / (bytes / kUsbTheoretical);
  state.counters["vs_usb40_mean"] = mean / (bytes / kUsbPractical);
  state.counters["vs_usb60_mean"] = mean / (bytes / kUsbTheoretical);
  // Processing and extraction alone, without the read (and the emulator's rendering).
  state.counters["vs_usb40_after_read"] = afterReadFastest / (bytes / kUsbPractical);
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
  QV_SetCallback(previous);
}
BENCHMARK_CAPTURE(BM_PipelineVsUsbLink, a16z16_extract, Setting{4, 32, 0, 5, true})
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PipelineVsUsbLink, window_h3_extract, Setting{5, 32, 3, 6, true})
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PipelineVsUsbLink, window_h10_extract, Setting{5, 32, 10, 6, true})
    ->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PipelineVsUsbLink, iq16_200_frames, Setting{0, 200, 0, 1, false})
    ->UseManualTime()->Unit(benchmark::kMillisecond);

// Replay of a recording of emulated acquisitions against pread of the same
// bytes at the same offsets of the same file (both from the page cache).
void BM_ReplayVsPlainRead(benchmark::State& state, Setting s) {
  QV_Callback previous = QV_SetCallback(&bench::Quiet);
  char path[] = "/tmp/orvex-pipeline-XXXXXX";
  int tmp = mkstemp(path);
  if (tmp < 0) {
    state.SkipWithError("no temporary file");
    QV_SetCallback(previous);
    return;
  }
  close(tmp);
  const int kAcquisitions = 8;
  int32_t bytes = 0;
  {
    EmulatedCamera camera(s);
    QV_Handle h = camera.handle();
    if (!h || QV_CreateStreamFile(h, path) != 0) {
      state.SkipWithError("emulator not on LD_LIBRARY_PATH");
      unlink(path);
      QV_SetCallback(previous);
      return;
    }
    for (int i = 0; i < kAcquisitions; ++i) bytes = QV_Acquire(h);
    QV_CreateStreamFile(h, nullptr);
  }
  QV_Handle replay = orvex::OpenSystemOnStream(path, &BuildBenchSystem);
  int fd = open(path, O_RDONLY);
  if (!replay || fd < 0 || bytes <= 0) {
    state.SkipWithError("recording failed");
  } else {
    std::vector<uint8_t> buffer(bytes);
    // Acquisition objects follow the header objects back to back: 8 + bytes each.
    const off_t fileSize = lseek(fd, 0, SEEK_END);
    const off_t first = fileSize - off_t(kAcquisitions) * (8 + bytes);
    int next = 0;
    double replayFastest = 1e9, readFastest = 1e9, replayTotal = 0, readTotal = 0;
    for (auto _ : state) {
      auto t0 = Clock::now();
      int32_t got = QV_Acquire(replay);
      if (got == -2) {
        QV_FileStreamCmd(replay, 3, 0, nullptr);  // back to the first acquisition
        got = QV_Acquire(replay);
      }
      auto t1 = Clock::now();
      ssize_t read = pread(fd, buffer.data(), bytes, first + off_t(next) * (8 + bytes) + 8);
      benchmark::ClobberMemory();
      auto t2 = Clock::now();
      next = (next + 1) % kAcquisitions;
      if (got != bytes || read != bytes) {
        state.SkipWithError("replay or read failed");
        break;
      }
      state.SetIterationTime(Seconds(t1 - t0));
      replayTotal += Seconds(t1 - t0);
      readTotal += Seconds(t2 - t1);
      replayFastest = std::min(replayFastest, Seconds(t1 - t0));
      readFastest = std::min(readFastest, Seconds(t2 - t1));
    }
    state.counters["raw_MB"] = bytes / 1e6;
    state.counters["vs_read"] = replayFastest / readFastest;
    state.counters["vs_read_mean"] = readTotal > 0 ? replayTotal / readTotal : 0;
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
  }
  if (fd >= 0) close(fd);
  if (replay) QV_Close(replay);
  unlink(path);
  QV_SetCallback(previous);
}
BENCHMARK_CAPTURE(BM_ReplayVsPlainRead, a16z16, Setting{4, 32, 0, 5, false})
    ->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReplayVsPlainRead, iq16_64_frames, Setting{0, 64, 0, 1, false})
    ->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
