// acquire and replay: raw acquisitions, optionally recorded to a stream file.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Cli.h"
#include "MapValue.h"
#include "StopSignal.h"

namespace orvexctl {
namespace {

using Clock = std::chrono::steady_clock;

struct AcquireArgs {
  uint32_t count = 1;    // 0: until interrupted (or the duration ends)
  double duration = 0;   // seconds; 0: no limit
  std::string record;
};

bool ParseSeconds(const std::string& text, double* seconds) {
  char* end = nullptr;
  *seconds = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && *seconds > 0 && *seconds < 1e7;
}

bool ParseAcquireArgs(const std::vector<std::string>& args, AcquireArgs* out) {
  bool countGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    bool hasValue = i + 1 < args.size();
    if ((args[i] == "-n" || args[i] == "--count") && hasValue) {
      if (!ParseWholeNumber(args[++i], 100000000, &out->count)) return false;
      countGiven = true;
    } else if ((args[i] == "-d" || args[i] == "--duration") && hasValue) {
      if (!ParseSeconds(args[++i], &out->duration)) return false;
    } else if ((args[i] == "-r" || args[i] == "--record") && hasValue) {
      out->record = args[++i];
    } else {
      return false;
    }
  }
  // A duration alone means "for that long", not "one acquisition".
  if (out->duration > 0 && !countGiven) out->count = 0;
  return true;
}

// Progress on a terminal is redrawn in place; elsewhere only the final line
// is written, so that logs do not fill up with carriage returns.
class Progress {
 public:
  explicit Progress(uint32_t count) : count_(count), live_(StderrIsTerminal()) {}

  void Update(uint32_t done, uint64_t bytes) {
    done_ = done;
    bytes_ = bytes;
    if (live_) Print("\r");
  }
  void Finish() {
    if (done_ == 0) return;
    Print(live_ ? "\r" : "");
    std::fprintf(stderr, "\n");
  }

 private:
  void Print(const char* lead) const {
    double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    double rate = seconds > 0 ? bytes_ / 1e6 / seconds : 0.0;
    double fps = seconds > 0 ? done_ / seconds : 0.0;
    if (count_)
      std::fprintf(stderr, "%sacquisition %u/%u  %.1f MB  %.1f MB/s  %.1f fps", lead, done_, count_, bytes_ / 1e6,
                   rate, fps);
    else
      std::fprintf(stderr, "%sacquisition %u  %.1f MB  %.1f MB/s  %.1f fps", lead, done_, bytes_ / 1e6, rate, fps);
  }

  uint32_t count_;
  bool live_;
  Clock::time_point start_ = Clock::now();
  uint32_t done_ = 0;
  uint64_t bytes_ = 0;
};

// Acquires until the count, the duration, the end of a replayed stream or a
// stop signal; returns the exit code.
int AcquireLoop(QV_Handle handle, const AcquireArgs& args, bool untilEnd) {
  StopSignal stop;
  Progress progress(args.count);
  const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(args.duration));
  uint64_t bytes = 0;
  uint32_t done = 0;
  int status = kOk;
  while (args.count == 0 || done < args.count) {
    if (StopSignal::Requested()) {
      status = kInterrupted;
      break;
    }
    if (args.duration > 0 && Clock::now() >= end) break;
    int32_t result = QV_Acquire(handle);
    if (untilEnd && result == -2) break;  // end of the replayed stream
    if (result < 0 && StopSignal::Requested()) {
      // The signal broke off the read: that acquisition is abandoned.
      status = kInterrupted;
      break;
    }
    if (result < 0) {
      progress.Finish();
      std::fprintf(stderr, "acquisition %u failed: %d %s\n", done + 1, result, LastLibraryError().c_str());
      return kFailed;
    }
    bytes += static_cast<uint64_t>(result);
    progress.Update(++done, bytes);
  }
  progress.Finish();
  if (status == kInterrupted) std::fprintf(stderr, "interrupted after %u acquisition(s)\n", done);
  std::printf("%u acquisition(s), %llu bytes\n", done, static_cast<unsigned long long>(bytes));
  return status;
}

}  // namespace

int CmdAcquire(const Options& options) {
  AcquireArgs args;
  if (!ParseAcquireArgs(options.args, &args)) {
    std::fprintf(stderr, "acquire: [-n COUNT] [-d SECONDS] [-r STREAMFILE]\n");
    return kUsage;
  }
  System system(options);
  if (int status = system.status()) return status;
  if (!args.record.empty()) {
    errno = 0;
    if (QV_CreateStreamFile(system.handle(), args.record.c_str()) != 0) {
      std::fprintf(stderr, "cannot record to %s: %s\n", args.record.c_str(),
                   errno ? std::strerror(errno) : "the stream could not be written");
      return kFailed;
    }
  }
  int status = AcquireLoop(system.handle(), args, false);
  // The stream is closed on every way out, so that it replays to its end.
  if (!args.record.empty()) {
    if (QV_CreateStreamFile(system.handle(), nullptr) != 0) {
      std::fprintf(stderr, "closing %s failed\n", args.record.c_str());
      return kFailed;
    }
    std::fprintf(stderr, "recorded to %s\n", args.record.c_str());
  }
  return status;
}

int CmdReplay(const Options& options) {
  AcquireArgs args;
  args.count = 0;
  const auto& a = options.args;
  if (a.size() != 1 && !(a.size() == 3 && (a[1] == "-n" || a[1] == "--count") &&
                         ParseWholeNumber(a[2], 100000000, &args.count))) {
    std::fprintf(stderr, "replay: STREAMFILE [-n COUNT]\n");
    return kUsage;
  }
  Options streamOptions = options;
  streamOptions.mode = QV_OPEN_STREAM;
  streamOptions.openString = a[0];
  System system(streamOptions);
  if (int status = system.status()) return status;
  // The default behaviour restarts a stream at its end; stop there instead.
  return AcquireLoop(system.handle(), args, true);
}

}  // namespace orvexctl
