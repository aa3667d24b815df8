#include "UsbfsNode.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "Descriptors.h"
#include "Emulator.h"

using orvex_emu::Clock;
using orvex_emu::DeviceAnswer;
using orvex_emu::VirtualCamera;

namespace orvex_vcam {
namespace {

// Claim owners of all nodes and clients; distinct from each other.
std::atomic<int> g_nextOwner{1};

void Complete(UMockdevIoctlClient* client, long result, int error = 0) {
  umockdev_ioctl_client_complete(client, result, error);
}

void Fail(UMockdevIoctlClient* client, int error) { Complete(client, -1, error); }

// A negative model result as the errno of a failed ioctl.
void FailWith(UMockdevIoctlClient* client, int result) { Fail(client, result < 0 ? -result : EIO); }

UMockdevIoctlData* Resolve(UMockdevIoctlData* data, size_t offset, size_t length) {
  return umockdev_ioctl_data_resolve(data, offset, length, nullptr);
}

void Log(int camera, uint32_t kind, int endpoint, int length, int result, const uint8_t* data, int dataLength) {
  OrvexEmuEvent event = orvex_emu::MakeEvent(camera, kind);
  event.endpoint = uint32_t(endpoint);
  event.length = uint32_t(length);
  event.result = result;
  if (data && dataLength > 0) {
    event.dataLength = uint32_t(dataLength < 64 ? dataLength : 64);
    std::memcpy(event.data, data, event.dataLength);
  }
  orvex_emu::LogEvent(orvex_emu::State(), event);
}

}  // namespace

UsbfsNode::UsbfsNode(std::shared_ptr<VirtualCamera> camera, int index, unsigned generation, unsigned devnum,
                     std::function<void()> changed)
    : camera_(std::move(camera)),
      index_(index),
      generation_(generation),
      devnum_(devnum),
      changed_(std::move(changed)),
      handler_(umockdev_ioctl_base_new()) {
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
  g_signal_connect(handler_, "client-connected", G_CALLBACK(OnClientConnected), this);
}

UsbfsNode::~UsbfsNode() {
  for (auto& [client, state] : clients_) {
    g_signal_handlers_disconnect_by_data(client, this);
    for (Urb& urb : state.urbs) Release(urb);
    g_object_unref(client);
  }
  g_signal_handlers_disconnect_by_data(handler_, this);
  g_object_unref(handler_);
}

int UsbfsNode::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  static_cast<UsbfsNode*>(self)->Handle(client);
  return TRUE;
}

void UsbfsNode::OnClientConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  static_cast<UsbfsNode*>(self)->ClientOf(client);
}

// A program closed the node (or ended): its claim and its URBs go with it.
void UsbfsNode::OnConnectedChanged(void* client, void*, void* self) {
  auto* c = static_cast<UMockdevIoctlClient*>(client);
  if (umockdev_ioctl_client_get_connected(c)) return;
  auto* node = static_cast<UsbfsNode*>(self);
  g_signal_handlers_disconnect_by_data(c, self);
  node->Forget(c);
}

UsbfsNode::Client& UsbfsNode::ClientOf(UMockdevIoctlClient* client) {
  auto found = clients_.find(client);
  if (found != clients_.end()) return found->second;
  Client& state = clients_[client];
  state.owner = g_nextOwner++;
  g_object_ref(client);
  g_signal_connect(client, "notify::connected", G_CALLBACK(OnConnectedChanged), this);
  return state;
}

void UsbfsNode::Forget(UMockdevIoctlClient* client) {
  auto found = clients_.find(client);
  if (found == clients_.end()) return;
  {
    std::lock_guard<std::mutex> lock(camera_->Mutex());
    if (Live()) camera_->ReleaseInterface(found->second.owner);
  }
  for (Urb& urb : found->second.urbs) Release(urb);
  Log(index_, ORVEX_EMU_CLOSE, 0, 0, 0, nullptr, 0);
  clients_.erase(found);
  g_object_unref(client);
}

// Programs that ended without closing the node lose their claim here:
// umockdev does not always tell when a client went away.
void UsbfsNode::ForgetVanishedClients() {
  std::vector<UMockdevIoctlClient*> gone;
  for (auto& entry : clients_)
    if (!umockdev_ioctl_client_get_connected(entry.first)) gone.push_back(entry.first);
  for (UMockdevIoctlClient* client : gone) Forget(client);
}

void UsbfsNode::Release(Urb& urb) {
  if (urb.buffer) g_object_unref(urb.buffer);
  if (urb.urb) g_object_unref(urb.urb);
  urb.buffer = urb.urb = nullptr;
}

bool UsbfsNode::Live() { return camera_->Plugged() && camera_->Generation() == generation_; }

void UsbfsNode::Handle(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  if (readOnly_) return Fail(client, EPERM);
  if (request == USBDEVFS_CLAIMINTERFACE || request == USBDEVFS_SETCONFIGURATION) ForgetVanishedClients();
  switch (request) {
    case USBDEVFS_SUBMITURB: Submit(client); break;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: Reap(client); break;
    case USBDEVFS_DISCARDURB: Discard(client); break;
    case USBDEVFS_CONTROL: Control(client); break;
    case USBDEVFS_CLAIMINTERFACE: Claim(client, true); break;
    case USBDEVFS_RELEASEINTERFACE: Claim(client, false); break;
    case USBDEVFS_CONNECTINFO: {
      UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_connectinfo));
      if (!data) return Fail(client, EFAULT);
      auto* info = reinterpret_cast<usbdevfs_connectinfo*>(data->data);
      info->devnum = devnum_;
      info->slow = 0;
      return Complete(client, 0);
    }
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET: {
      UMockdevIoctlData* data = request == USBDEVFS_RESET ? nullptr : Resolve(arg, 0, sizeof(unsigned int));
      unsigned value = data ? *reinterpret_cast<unsigned*>(data->data) : 0;
      const int owner = ClientOf(client).owner;
      bool reset = false;
      int result = 0;
      {
        std::lock_guard<std::mutex> lock(camera_->Mutex());
        const int holder = camera_->InterfaceOwner();
        if (!Live()) {
          result = orvex_emu::kErrNoDevice;
        } else if (holder != 0 && holder != owner && request != USBDEVFS_CLEAR_HALT) {
          result = orvex_emu::kErrBusy;  // usbfs refuses to change a device another program holds
        } else if (request == USBDEVFS_CLEAR_HALT) {
          camera_->ClearHalt(int(value));
        } else if (request == USBDEVFS_RESET) {
          camera_->Reset();
          reset = true;
        } else if (value != (request == USBDEVFS_SETCONFIGURATION ? 1u : 0u)) {
          result = orvex_emu::kErrInvalid;
        }
      }
      uint32_t kind = request == USBDEVFS_RESET             ? ORVEX_EMU_RESET
                      : request == USBDEVFS_CLEAR_HALT      ? ORVEX_EMU_CLEAR_HALT
                      : request == USBDEVFS_SETCONFIGURATION ? ORVEX_EMU_SET_CONFIGURATION
                                                            : 0;
      if (kind) Log(index_, kind, kind == ORVEX_EMU_CLEAR_HALT ? int(value) : 0, 0, result, nullptr, 0);
      if (reset) changed_();
      return result < 0 ? FailWith(client, result) : Complete(client, 0);
    }
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL: return Fail(client, ENODATA);  // no kernel driver is bound
    default: return Fail(client, ENOTTY);
  }
}

void UsbfsNode::Claim(UMockdevIoctlClient* client, bool claim) {
  UMockdevIoctlData* data = Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(unsigned int));
  if (!data) return Fail(client, EFAULT);
  unsigned interface = *reinterpret_cast<unsigned*>(data->data);
  int owner = ClientOf(client).owner;
  int result = 0;
  {
    std::lock_guard<std::mutex> lock(camera_->Mutex());
    if (!Live())
      result = orvex_emu::kErrNoDevice;
    else if (interface != 0)
      result = orvex_emu::kErrInvalid;
    else if (!claim)
      camera_->ReleaseInterface(owner);
    else if (camera_->TakeClaimFault() || !camera_->ClaimInterface(owner))
      result = orvex_emu::kErrBusy;
  }
  Log(index_, claim ? ORVEX_EMU_CLAIM : ORVEX_EMU_RELEASE, 0, 0, result, nullptr, 0);
  return result < 0 ? FailWith(client, result) : Complete(client, 0);
}

void UsbfsNode::Control(UMockdevIoctlClient* client) {
  UMockdevIoctlData* data = Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(usbdevfs_ctrltransfer));
  if (!data) return Fail(client, EFAULT);
  auto* transfer = reinterpret_cast<usbdevfs_ctrltransfer*>(data->data);
  const int length = transfer->wLength;
  UMockdevIoctlData* buffer = length ? Resolve(data, offsetof(usbdevfs_ctrltransfer, data), size_t(length)) : nullptr;
  if (length && !buffer) return Fail(client, EFAULT);
  uint8_t* bytes = buffer ? buffer->data : nullptr;
  const int type = transfer->bRequestType, request = transfer->bRequest;
  int result;
  {
    std::lock_guard<std::mutex> lock(camera_->Mutex());
    if (!Live()) {
      result = orvex_emu::kErrNoDevice;
    } else if ((type & 0x60) == 0 && request == 6) {  // standard GET_DESCRIPTOR
      std::vector<uint8_t> d = orvex_emu::StandardDescriptor(*camera_, transfer->wValue >> 8, transfer->wValue & 0xFF);
      result = d.empty() ? orvex_emu::kErrPipe : int(std::min<size_t>(d.size(), size_t(length)));
      if (result > 0) std::memcpy(bytes, d.data(), size_t(result));
    } else {
      result = camera_->ControlTransfer(type, request, transfer->wValue, transfer->wIndex, bytes, length);
    }
  }
  OrvexEmuEvent event = orvex_emu::MakeEvent(index_, ORVEX_EMU_CONTROL);
  event.requestType = type;
  event.request = request;
  event.value = transfer->wValue;
  event.index = transfer->wIndex;
  event.length = uint32_t(length);
  event.result = result;
  orvex_emu::LogEvent(orvex_emu::State(), event);
  return result < 0 ? FailWith(client, result) : Complete(client, result);
}

void UsbfsNode::Submit(UMockdevIoctlClient* client) {
  UMockdevIoctlData* data = Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(usbdevfs_urb));
  if (!data) return Fail(client, EFAULT);
  auto* urb = reinterpret_cast<usbdevfs_urb*>(data->data);
  if (urb->type != USBDEVFS_URB_TYPE_BULK || urb->buffer_length < 0) return Fail(client, EINVAL);
  UMockdevIoctlData* buffer =
      urb->buffer_length ? Resolve(data, offsetof(usbdevfs_urb, buffer), size_t(urb->buffer_length)) : nullptr;
  if (urb->buffer_length && !buffer) return Fail(client, EFAULT);
  bool gone;
  {
    std::lock_guard<std::mutex> lock(camera_->Mutex());
    gone = !Live();
    if (!gone) {
      camera_->StartTransfer(urb->endpoint);
      gone = !Live();  // an unplug fault pulls the cable here
    }
  }
  if (gone) {
    changed_();
    return Fail(client, ENODEV);
  }
  Urb entry;
  entry.urb = static_cast<UMockdevIoctlData*>(g_object_ref(data));
  entry.buffer = buffer ? static_cast<UMockdevIoctlData*>(g_object_ref(buffer)) : nullptr;
  entry.endpoint = urb->endpoint;
  entry.length = urb->buffer_length;
  ClientOf(client).urbs.push_back(entry);
  Complete(client, 0);
}

void UsbfsNode::Discard(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  unsigned long address = arg->client_addr;
  if (arg->data && arg->data_len >= int(sizeof(void*))) std::memcpy(&address, arg->data, sizeof(void*));
  for (Urb& urb : ClientOf(client).urbs) {
    if (urb.urb->client_addr == address || urb.urb->client_addr == arg->client_addr) {
      urb.discarded = true;
      return Complete(client, 0);
    }
  }
  Fail(client, EINVAL);
}

// Hands the oldest URB back when the device has answered it. A URB the
// device cannot answer yet stays queued: the program keeps asking until its
// time-out, then discards it.
void UsbfsNode::Reap(UMockdevIoctlClient* client) {
  Client& state = ClientOf(client);
  if (state.urbs.empty()) return Fail(client, EAGAIN);
  Urb& urb = state.urbs.front();
  const bool in = (urb.endpoint & 0x80) != 0;
  uint8_t* bytes = urb.buffer ? urb.buffer->data : nullptr;
  int status = 0, actual = 0;
  if (urb.discarded) {
    status = -ENOENT;
  } else {
    DeviceAnswer answer;
    {
      std::lock_guard<std::mutex> lock(camera_->Mutex());
      if (!Live()) {
        answer.result = orvex_emu::kErrNoDevice;
      } else {
        Clock::time_point now = Clock::now();
        answer = in ? camera_->BulkIn(urb.endpoint, bytes, urb.length, now)
                    : camera_->BulkOut(urb.endpoint, bytes, urb.length, now);
      }
    }
    if (answer.pending) return Fail(client, EAGAIN);
    if (answer.result == orvex_emu::kErrNoDevice) {
      Log(index_, in ? ORVEX_EMU_BULK_READ : ORVEX_EMU_BULK_WRITE, urb.endpoint, urb.length, answer.result, nullptr, 0);
      for (Urb& dropped : state.urbs) Release(dropped);
      state.urbs.clear();
      changed_();
      return Fail(client, ENODEV);
    }
    status = answer.result < 0 ? answer.result : 0;
    actual = answer.result < 0 ? 0 : answer.result;
  }
  Log(index_, in ? ORVEX_EMU_BULK_READ : ORVEX_EMU_BULK_WRITE, urb.endpoint, urb.length,
      status < 0 ? status : actual, bytes, in ? actual : urb.length);
  auto* u = reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
  u->status = status;
  u->actual_length = actual;
  UMockdevIoctlData* slot = Resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void*));
  if (!slot || !umockdev_ioctl_data_set_ptr(slot, 0, urb.urb)) return Fail(client, EFAULT);
  Complete(client, 0);
  Release(urb);
  state.urbs.pop_front();
}

}  // namespace orvex_vcam
