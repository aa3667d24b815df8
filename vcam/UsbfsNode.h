// One device node of a virtual camera: answers the usbfs ioctls of the
// programs that opened it from the camera model. A node belongs to one
// enumeration of its camera; after the camera left the bus or re-enumerated,
// everything on the old node answers -ENODEV, as on a real bus.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "VirtualCamera.h"

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace orvex_vcam {

class UsbfsNode {
 public:
  // `changed` is called (on the ioctl thread) when the camera's enumeration
  // changed because of what a program did: a reset, an unplug fault.
  UsbfsNode(std::shared_ptr<orvex_emu::VirtualCamera> camera, int index, unsigned generation, unsigned devnum,
            std::function<void()> changed);
  ~UsbfsNode();
  UsbfsNode(const UsbfsNode&) = delete;
  UsbfsNode& operator=(const UsbfsNode&) = delete;

  UMockdevIoctlBase* Handler() const { return handler_; }
  // A node without write permission: programs can open it only for reading,
  // and usbfs refuses every request on such a handle with -EPERM.
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  unsigned Generation() const { return generation_; }

 private:
  // A submitted URB: the client's memory of it and of its buffer.
  struct Urb {
    UMockdevIoctlData* urb = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    int endpoint = 0;
    int length = 0;
    bool discarded = false;
  };
  struct Client {
    int owner = 0;  // claim owner id
    std::deque<Urb> urbs;
  };

  static int OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self);
  static void OnClientConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self);
  static void OnConnectedChanged(void* client, void* property, void* self);

  void Handle(UMockdevIoctlClient* client);
  bool Live();  // with the camera's lock held
  void Control(UMockdevIoctlClient* client);
  void Submit(UMockdevIoctlClient* client);
  void Reap(UMockdevIoctlClient* client);
  void Discard(UMockdevIoctlClient* client);
  void Claim(UMockdevIoctlClient* client, bool claim);
  void Forget(UMockdevIoctlClient* client);
  void ForgetVanishedClients();
  Client& ClientOf(UMockdevIoctlClient* client);
  static void Release(Urb& urb);

  std::shared_ptr<orvex_emu::VirtualCamera> camera_;
  int index_;
  unsigned generation_;
  unsigned devnum_;
  std::function<void()> changed_;
  UMockdevIoctlBase* handler_;
  std::map<UMockdevIoctlClient*, Client> clients_;
  std::atomic<bool> readOnly_{false};
};

}  // namespace orvex_vcam
