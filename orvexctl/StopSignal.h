// SIGINT and SIGTERM as a request to stop after the acquisition in flight,
// so that a recording is closed cleanly instead of being cut off.
#pragma once

namespace orvexctl {

// Installs the handlers for the life of the object; the previous ones come back.
class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  static bool Requested();
};

}  // namespace orvexctl
