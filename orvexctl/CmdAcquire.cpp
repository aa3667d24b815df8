// acquire and replay: raw acquisitions, optionally recorded to a stream file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Cli.h"

namespace orvexctl {
namespace {

struct AcquireArgs {
  long count = 1;
  std::string record;
};

bool ParseAcquireArgs(const std::vector<std::string>& args, AcquireArgs* out) {
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "-n" || args[i] == "--count") && i + 1 < args.size()) {
      char* end = nullptr;
      out->count = std::strtol(args[++i].c_str(), &end, 10);
      if (*end || out->count < 1 || out->count > 1000000) return false;
    } else if ((args[i] == "-r" || args[i] == "--record") && i + 1 < args.size()) {
      out->record = args[++i];
    } else {
      return false;
    }
  }
  return true;
}

// Acquires `count` times with a progress line; returns the exit code.
int AcquireLoop(QV_Handle handle, long count, bool untilEnd) {
  auto start = std::chrono::steady_clock::now();
  uint64_t bytes = 0;
  long done = 0;
  for (; untilEnd || done < count; ++done) {
    int32_t result = QV_Acquire(handle);
    if (untilEnd && result == -2) break;  // end of the replayed stream
    if (result < 0) {
      std::fprintf(stderr, "\nacquisition %ld failed: %d %s\n", done + 1, result, LastLibraryError().c_str());
      return kFailed;
    }
    bytes += static_cast<uint64_t>(result);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double rate = seconds > 0 ? bytes / 1e6 / seconds : 0.0;
    if (untilEnd)
      std::fprintf(stderr, "\racquisition %ld  %.1f MB  %.1f MB/s", done + 1, bytes / 1e6, rate);
    else
      std::fprintf(stderr, "\racquisition %ld/%ld  %.1f MB  %.1f MB/s", done + 1, count, bytes / 1e6, rate);
  }
  std::fprintf(stderr, "\n");
  std::printf("%ld acquisition(s), %llu bytes\n", done, static_cast<unsigned long long>(bytes));
  return kOk;
}

}  // namespace

int CmdAcquire(const Options& options) {
  AcquireArgs args;
  if (!ParseAcquireArgs(options.args, &args)) {
    std::fprintf(stderr, "acquire: [-n COUNT] [-r STREAMFILE]\n");
    return kUsage;
  }
  System system(options);
  if (int status = system.status()) return status;
  if (!args.record.empty() && QV_CreateStreamFile(system.handle(), args.record.c_str()) != 0) {
    std::fprintf(stderr, "cannot record to %s\n", args.record.c_str());
    return kFailed;
  }
  int status = AcquireLoop(system.handle(), args.count, false);
  if (!args.record.empty()) {
    QV_CreateStreamFile(system.handle(), nullptr);
    std::printf("recorded to %s\n", args.record.c_str());
  }
  return status;
}

int CmdReplay(const Options& options) {
  if (options.args.size() != 1) {
    std::fprintf(stderr, "replay: give one stream file\n");
    return kUsage;
  }
  Options streamOptions = options;
  streamOptions.mode = QV_OPEN_STREAM;
  streamOptions.openString = options.args[0];
  System system(streamOptions);
  if (int status = system.status()) return status;
  // The default behaviour restarts a stream at its end; stop there instead.
  return AcquireLoop(system.handle(), 0, true);
}

}  // namespace orvexctl
