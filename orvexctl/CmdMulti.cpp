// multi: several cameras at once, one thread each, with per-camera and total
// acquisition rates.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Cli.h"

namespace orvexctl {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kSerialEntryBytes = 17;
constexpr uint32_t kMaxListed = 64;

// The library reports on the thread that caused the report, so the last
// problem of each camera is kept per thread.
thread_local std::string t_lastProblem;
bool g_multiQuiet = false;

int32_t PerThreadPrinter(QV_Handle, uint32_t kind, uint32_t value, const char* text) {
  if (kind != QV_MSG_TEXT || (value & 0xFF) < QV_LEVEL_WARNING) return 0;
  t_lastProblem = text ? text : "";
  if (!g_multiQuiet) std::fprintf(stderr, "%s: %s\n", (value & 0xFF) == QV_LEVEL_WARNING ? "warning" : "error", text);
  return 0;
}

struct MultiArgs {
  long count = 100;
  std::vector<std::string> serials;
};

bool ParseMultiArgs(const std::vector<std::string>& args, MultiArgs* out) {
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "-n" || args[i] == "--count") && i + 1 < args.size()) {
      char* end = nullptr;
      out->count = std::strtol(args[++i].c_str(), &end, 10);
      if (*end || out->count < 1 || out->count > 1000000) return false;
    } else if (!args[i].empty() && args[i][0] == '-') {
      return false;
    } else {
      out->serials.push_back(args[i]);
    }
  }
  return true;
}

std::vector<std::string> ListedSerials() {
  std::vector<char> buffer(kSerialEntryBytes * kMaxListed);
  if (QV_GetSerials(nullptr) > kMaxListed) return {};
  uint32_t count = QV_GetSerials(buffer.data());
  std::vector<std::string> serials;
  for (uint32_t i = 0; i < count && i < kMaxListed; ++i)
    serials.emplace_back(buffer.data() + kSerialEntryBytes * i, strnlen(buffer.data() + kSerialEntryBytes * i, 16));
  return serials;
}

// Lets every camera start acquiring at the same moment, after all opens.
class StartLine {
 public:
  explicit StartLine(size_t expected) : waiting_(expected) {}
  void ArriveAndWait() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (--waiting_ == 0) {
      start_ = Clock::now();
      ready_.notify_all();
    }
    ready_.wait(lock, [this] { return waiting_ == 0; });
  }
  Clock::time_point start() const { return start_; }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  size_t waiting_;
  Clock::time_point start_;
};

struct CameraRun {
  std::string serial;
  int status = kOk;
  long done = 0;
  uint64_t bytes = 0;
  double seconds = 0;
  std::string problem;

  void Run(const Options& base, long count, StartLine& line) {
    Options options = base;
    options.openString += " serial=" + serial;
    System system(options);
    status = system.status();
    line.ArriveAndWait();
    if (status == kOk) Acquire(system.handle(), count, line.start());
    problem = t_lastProblem;
  }

  void Acquire(QV_Handle handle, long count, Clock::time_point start) {
    for (; done < count; ++done) {
      int32_t result = QV_Acquire(handle);
      if (result < 0) {
        status = kFailed;
        break;
      }
      bytes += static_cast<uint64_t>(result);
    }
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  }
};

double PerSecond(double amount, double seconds) { return seconds > 0 ? amount / seconds : 0.0; }

int Report(const std::vector<CameraRun>& runs) {
  int status = kOk;
  long total = 0;
  uint64_t bytes = 0;
  double wall = 0;
  for (const CameraRun& run : runs) {
    if (run.status != kOk) {
      std::printf("%s: %s after %ld acquisition(s)%s%s\n", run.serial.c_str(),
                  run.status == kNoCamera ? "not opened" : "failed", run.done, run.problem.empty() ? "" : ": ",
                  run.problem.c_str());
      status = std::max(status, run.status);  // a camera not opened outweighs a failed one
    } else {
      std::printf("%s: %ld acquisition(s), %.1f MB, %.1f acquisitions/s, %.1f MB/s\n", run.serial.c_str(), run.done,
                  run.bytes / 1e6, PerSecond(run.done, run.seconds), PerSecond(run.bytes / 1e6, run.seconds));
    }
    total += run.done;
    bytes += run.bytes;
    if (run.seconds > wall) wall = run.seconds;
  }
  std::printf("total: %zu camera(s), %ld acquisition(s) in %.2f s, %.1f acquisitions/s, %.1f MB/s\n", runs.size(),
              total, wall, PerSecond(total, wall), PerSecond(bytes / 1e6, wall));
  return status;
}

}  // namespace

int CmdMulti(const Options& options) {
  MultiArgs args;
  if (!ParseMultiArgs(options.args, &args)) {
    std::fprintf(stderr, "multi: [-n COUNT] [SERIAL...]\n");
    return kUsage;
  }
  if (args.serials.empty()) args.serials = ListedSerials();
  if (args.serials.empty()) {
    std::fprintf(stderr, "multi: no camera connected\n");
    return kNoCamera;
  }
  g_multiQuiet = options.quiet;
  QV_Callback previous = QV_SetCallback(&PerThreadPrinter);
  std::vector<CameraRun> runs(args.serials.size());
  StartLine line(runs.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < runs.size(); ++i) {
    runs[i].serial = args.serials[i];
    threads.emplace_back(&CameraRun::Run, &runs[i], std::cref(options), args.count, std::ref(line));
  }
  for (std::thread& thread : threads) thread.join();
  QV_SetCallback(previous);
  return Report(runs);
}

}  // namespace orvexctl
