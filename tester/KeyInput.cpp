#include "KeyInput.h"

#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr size_t kKeyLineChars = 63;

// The terminal settings to put back when Ctrl+C arrives while a key is awaited;
// without this the shell would be left without echo.
struct termios g_savedTerminal;
int g_savedTerminalFd = -1;

void RestoreTerminalAndExit(int signalNumber) {
  if (g_savedTerminalFd >= 0) tcsetattr(g_savedTerminalFd, TCSANOW, &g_savedTerminal);
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

// Raw mode for the lifetime of the object: no line buffering, no echo.
// Signals stay enabled so that Ctrl+C still ends the program.
class RawTerminalMode {
 public:
  explicit RawTerminalMode(int fd) : fd_(fd) {
    if (tcgetattr(fd_, &saved_) != 0) return;
    struct termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    g_savedTerminal = saved_;
    g_savedTerminalFd = fd_;
    previousHandler_ = std::signal(SIGINT, RestoreTerminalAndExit);
    active_ = tcsetattr(fd_, TCSANOW, &raw) == 0;
  }
  ~RawTerminalMode() {
    if (active_) tcsetattr(fd_, TCSANOW, &saved_);
    if (g_savedTerminalFd == fd_) {
      std::signal(SIGINT, previousHandler_);
      g_savedTerminalFd = -1;
    }
  }
  RawTerminalMode(const RawTerminalMode&) = delete;
  RawTerminalMode& operator=(const RawTerminalMode&) = delete;

 private:
  int fd_;
  struct termios saved_ {};
  bool active_ = false;
  void (*previousHandler_)(int) = SIG_DFL;
};

}  // namespace

CKeyInput::CKeyInput(std::FILE* in) : in_(in) {}

bool CKeyInput::IsTerminal() const { return isatty(fileno(in_)) == 1; }

int CKeyInput::ReadKey() {
  if (IsTerminal()) return ReadKeyRaw();
  std::string line;
  if (!ReadLine(line, kKeyLineChars)) return 'x';
  return line.empty() ? '\n' : static_cast<unsigned char>(line[0]);
}

int CKeyInput::ReadKeyRaw() {
  std::fflush(stdout);
  RawTerminalMode raw(fileno(in_));
  int key = std::fgetc(in_);
  return key == EOF ? 'x' : key;
}

bool CKeyInput::ReadLine(std::string& line, size_t maxChars) {
  std::fflush(stdout);
  line.clear();
  int c = std::fgetc(in_);
  if (c == EOF) return false;
  while (c != EOF && c != '\n') {
    if (line.size() < maxChars) line.push_back(static_cast<char>(c));
    c = std::fgetc(in_);
  }
  return true;
}

void CKeyInput::WaitForEnter() {
  std::string ignored;
  ReadLine(ignored, 0);
}
