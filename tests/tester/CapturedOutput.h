// An in-memory FILE* for the tester's output, and one for its input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

class CapturedOutput {
 public:
  CapturedOutput() : file_(open_memstream(&buffer_, &size_)) {}
  ~CapturedOutput() {
    std::fclose(file_);
    std::free(buffer_);
  }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  std::FILE* file() const { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  size_t size_ = 0;
  std::FILE* file_;
};

class ScriptedInput {
 public:
  explicit ScriptedInput(std::string text)
      : text_(std::move(text)), file_(text_.empty() ? std::fopen("/dev/null", "r")
                                                    : fmemopen(text_.data(), text_.size(), "r")) {}
  ~ScriptedInput() { std::fclose(file_); }
  ScriptedInput(const ScriptedInput&) = delete;
  ScriptedInput& operator=(const ScriptedInput&) = delete;

  std::FILE* file() const { return file_; }

 private:
  std::string text_;
  std::FILE* file_;
};
