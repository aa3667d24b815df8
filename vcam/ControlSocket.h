// The control socket of a session: one command per connection, a line in,
// the reply out. Programs of the session find it in ORVEX_VCAM_SOCKET.
#pragma once

#include <string>
#include <thread>

namespace orvex_vcam {

class Session;

class ControlSocket {
 public:
  ControlSocket(const std::string& path, Session& session);
  ~ControlSocket();
  ControlSocket(const ControlSocket&) = delete;
  ControlSocket& operator=(const ControlSocket&) = delete;

 private:
  void Serve();

  std::string path_;
  Session& session_;
  int listener_ = -1;
  std::thread thread_;
};

// Sends one command to a session's socket and prints the reply: 0 when the
// session answered "ok", 1 otherwise.
int SendControlCommand(const std::string& path, const std::string& command);

}  // namespace orvex_vcam
