// The cameras of one orvex-vcam session on the testbed's bus: each plugged
// camera has a device node of its current enumeration; plugging, unplugging
// and re-enumeration (a reset, new firmware) replace nodes with new device
// numbers, as a USB host controller does.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Testbed.h"
#include "UsbfsNode.h"

typedef struct _GMainContext GMainContext;

namespace orvex_vcam {

class Session {
 public:
  Session(Testbed& testbed, GMainContext* mainContext);
  ~Session();

  // Brings the nodes in line with the cameras. Main thread only (the
  // testbed is changed from there alone).
  void Sync();
  // From any thread: Sync on the main thread; `wait` returns after it ran.
  void RequestSync(bool wait);

  // A control command ("help" lists them); the reply ends with "ok" or
  // "error: ..." on its last line.
  std::string Command(const std::string& line);

 private:
  struct Node {
    std::unique_ptr<UsbfsNode> handler;
    std::string syspath;
    std::string devnode;
    std::shared_ptr<orvex_emu::VirtualCamera> camera;
    unsigned generation = 0;
  };

  void Retire(Node& node);
  bool ApplyMode(Node& node, unsigned mode);
  bool Publish(size_t index, const std::shared_ptr<orvex_emu::VirtualCamera>& camera, Node& node);
  std::string List();
  static int OnSync(void* self);

  Testbed& testbed_;
  GMainContext* context_;
  std::mutex nodesMutex_;  // nodes_ and modes_: Sync on the main thread, commands on the control thread
  std::vector<Node> nodes_;  // per camera; empty handler = not on the bus
  std::vector<std::unique_ptr<UsbfsNode>> retired_;  // old nodes answer -ENODEV to programs that kept them open
  std::map<size_t, unsigned> modes_;
  unsigned nextDevnum_ = 2;
  std::mutex syncMutex_;
  std::condition_variable synced_;
  unsigned syncRequests_ = 0, syncsDone_ = 0;
};

}  // namespace orvex_vcam
