// The run's test report: numbered checks with a verdict each, prefixed log
// lines and a closing summary. One report serves both menus.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

class CTestReport {
 public:
  explicit CTestReport(std::FILE* out = stdout);

  // Starts a check: prints its numbered "Testing" line and leaves it open for the verdict.
  void Begin(const char* name);
  // Closes the current check with SUCCESS or FAILED.
  void Verdict(bool ok);
  // Prints the formatted text, every line prefixed; the text is cut to 1023 characters.
  void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void LogV(const char* format, va_list args);
  // Counts a check as skipped; its name is listed under the summary.
  void Skip(const char* name);
  void Summary();

  std::FILE* Out() const { return out_; }
  int ChecksRun() const { return run_; }
  int ChecksPassed() const { return passed_; }

 private:
  void PrintBeginLine();
  void PrintPrefixedLines(const char* text);

  std::FILE* out_;
  bool lineOpen_ = false;
  int run_ = 0;
  int passed_ = 0;
  int skipped_ = 0;
  std::string current_;
  std::vector<std::string> skippedNames_;
};

// The separator printed before menus, after key presses and before the summary.
void PrintDashLine(std::FILE* out);
