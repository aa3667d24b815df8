// Console input of the tester: single key presses and bounded lines.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

class CKeyInput {
 public:
  explicit CKeyInput(std::FILE* in = stdin);

  // One key press. On a terminal it is taken without Enter and without echo;
  // otherwise the first character of the next line is the key (a blank line
  // gives '\n'). The end of the input answers 'x', so a menu loop fed from a
  // file or a pipe always ends.
  int ReadKey();

  // Reads one line and keeps at most maxChars characters of it; the rest of an
  // over-long line is read and dropped so that it cannot leak into the next
  // read. The line feed is not kept. False at the end of the input with
  // nothing read.
  bool ReadLine(std::string& line, size_t maxChars);

  // Waits for Enter (or the end of the input).
  void WaitForEnter();

  bool IsTerminal() const;

 private:
  int ReadKeyRaw();

  std::FILE* in_;
};
