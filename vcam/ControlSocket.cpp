#include "ControlSocket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "Session.h"

namespace orvex_vcam {
namespace {

constexpr size_t kMaxCommandBytes = 4096;

sockaddr_un Address(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long: " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

bool WriteAll(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

std::string ReadLine(int fd) {
  std::string line;
  char c;
  while (line.size() < kMaxCommandBytes && read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

}  // namespace

ControlSocket::ControlSocket(const std::string& path, Session& session) : path_(path), session_(session) {
  sockaddr_un address = Address(path);
  listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 8) != 0)
    throw std::runtime_error("cannot listen on " + path + ": " + std::strerror(errno));
  thread_ = std::thread([this] { Serve(); });
}

ControlSocket::~ControlSocket() {
  shutdown(listener_, SHUT_RDWR);
  thread_.join();
  close(listener_);
  unlink(path_.c_str());
}

void ControlSocket::Serve() {
  for (;;) {
    int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) {
      if (errno == EINTR) continue;
      return;  // shut down
    }
    WriteAll(connection, session_.Command(ReadLine(connection)));
    close(connection);
  }
}

int SendControlCommand(const std::string& path, const std::string& command) {
  sockaddr_un address = Address(path);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::fprintf(stderr, "orvex-vcam: no session at %s: %s\n", path.c_str(), std::strerror(errno));
    if (fd >= 0) close(fd);
    return 1;
  }
  WriteAll(fd, command + "\n");
  std::string reply;
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) reply.append(buffer, size_t(n));
  close(fd);
  std::fputs(reply.c_str(), stdout);
  size_t last = reply.rfind('\n', reply.size() >= 2 ? reply.size() - 2 : 0);
  std::string tail = reply.substr(last == std::string::npos ? 0 : last + 1);
  return tail == "ok\n" ? 0 : 1;
}

}  // namespace orvex_vcam
