#include "TestReport.h"

#include <cstring>

namespace {

constexpr const char* kDashLine = "-------------------------------------------------------";
constexpr const char* kSkippedSeparator = "----------------------- SKIPPED -----------------------";
constexpr const char* kLogPrefix = ">>>>   >>>> ";
constexpr size_t kLogBufferSize = 1024;
// Verdicts start at the same column as long as the check's line leaves room for them.
constexpr int kAlignedLineLimit = 40;
constexpr int kAlignedTabStops = 6;

}  // namespace

void PrintDashLine(std::FILE* out) { std::fprintf(out, "%s\n", kDashLine); }

CTestReport::CTestReport(std::FILE* out) : out_(out) {}

void CTestReport::Begin(const char* name) {
  current_ = name ? name : "";
  PrintBeginLine();
}

void CTestReport::PrintBeginLine() {
  int printed = std::fprintf(out_, "****%.3d**** Testing %s\t", run_ + 1, current_.c_str());
  if (printed >= 0 && printed <= kAlignedLineLimit) {
    for (int tabs = kAlignedTabStops - (printed + 7) / 8; tabs > 0; --tabs) std::fputc('\t', out_);
  }
  lineOpen_ = true;
}

void CTestReport::Verdict(bool ok) {
  if (!lineOpen_) PrintBeginLine();
  ++run_;
  if (ok) ++passed_;
  std::fputs(ok ? "SUCCESS\n" : "FAILED\n", out_);
  lineOpen_ = false;
}

void CTestReport::Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogV(format, args);
  va_end(args);
}

void CTestReport::LogV(const char* format, va_list args) {
  char text[kLogBufferSize];
  std::vsnprintf(text, sizeof text, format ? format : "", args);
  if (lineOpen_) std::fputc('\n', out_);
  PrintPrefixedLines(text);
  lineOpen_ = false;
}

void CTestReport::PrintPrefixedLines(const char* text) {
  // A closing line feed ends the last line; it does not start an empty one.
  const char* line = text;
  do {
    const char* end = std::strchr(line, '\n');
    size_t length = end ? static_cast<size_t>(end - line) : std::strlen(line);
    std::fprintf(out_, "%s%.*s\n", kLogPrefix, static_cast<int>(length), line);
    line = end ? end + 1 : nullptr;
  } while (line && *line);
  std::fflush(out_);
}

void CTestReport::Skip(const char* name) {
  ++skipped_;
  skippedNames_.emplace_back(name ? name : "");
}

void CTestReport::Summary() {
  PrintDashLine(out_);
  std::fprintf(out_, "Test Result: %d/%d passed, %d skipped\n", passed_, run_, skipped_);
  if (!skippedNames_.empty()) {
    std::fprintf(out_, "%s\n", kSkippedSeparator);
    for (const std::string& name : skippedNames_) std::fprintf(out_, "%s\n", name.c_str());
  }
  std::fflush(out_);
}
