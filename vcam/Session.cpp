#include "Session.h"

#include <glib.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Descriptors.h"
#include "Emulator.h"
#include "EmulatorControl.h"

using orvex_emu::VirtualCamera;

namespace orvex_vcam {
namespace {

constexpr unsigned kFirstDevnum = 2;  // 1 is the root hub's
constexpr unsigned kLastDevnum = 127;

const char* const kHelp =
    "list                    cameras: index, node, identity\n"
    "plug N                  power camera N up (a plugged camera is power cycled)\n"
    "unplug N                pull the cable of camera N\n"
    "set N KEY VALUE         a configuration key of camera N (faults at once, eeprom/serial at the next plug)\n"
    "configure FILE          replace every camera by the configuration file\n"
    "mode N OCTAL            file mode of camera N's device node (kept across re-enumeration);\n"
    "                        without write bits, requests on it fail with EPERM as for a read-only handle\n"
    "log [clear]             the transaction log, or clear it\n";

const char* KindName(uint32_t kind) {
  static const char* const names[] = {"?",       "open",  "close", "set-configuration", "claim",
                                      "release", "bulk-write", "bulk-read", "control", "reset",
                                      "clear-halt", "get-string", "set-debug", "find-devices"};
  return kind < sizeof names / sizeof names[0] ? names[kind] : "?";
}

std::string LogText() {
  std::string text;
  char line[160];
  OrvexEmuEvent event;
  for (size_t i = 0; orvex_emu_log_get(i, &event) == 0; ++i) {
    std::snprintf(line, sizeof line, "%d %s ep=0x%02x type=0x%02x req=0x%02x value=0x%04x length=%u result=%d\n",
                  event.camera, KindName(event.kind), event.endpoint, unsigned(event.requestType) & 0xFF,
                  unsigned(event.request) & 0xFF, unsigned(event.value) & 0xFFFF, event.length, event.result);
    text += line;
  }
  return text;
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream file(path);
  if (!file) return false;
  std::stringstream content;
  content << file.rdbuf();
  text = content.str();
  return true;
}

std::vector<std::shared_ptr<VirtualCamera>> Cameras() {
  orvex_emu::Emulator& state = orvex_emu::State();
  std::lock_guard<std::recursive_mutex> lock(state.mutex);
  return state.cameras;
}

}  // namespace

Session::Session(Testbed& testbed, GMainContext* mainContext) : testbed_(testbed), context_(mainContext) {}

Session::~Session() = default;

void Session::Retire(Node& node) {
  if (!node.handler) return;
  testbed_.Remove(node.syspath, node.devnode);
  retired_.push_back(std::move(node.handler));
  node = Node{};
}

bool Session::Publish(size_t index, const std::shared_ptr<VirtualCamera>& camera, Node& node) {
  UsbNodeRecord record;
  {
    std::lock_guard<std::mutex> lock(camera->Mutex());
    record.vendorId = camera->VendorId();
    record.productId = camera->ProductId();
    record.deviceId = camera->DeviceId();
    record.descriptors = orvex_emu::DeviceDescriptor(*camera);
    node.generation = camera->Generation();
  }
  std::vector<uint8_t> configuration = orvex_emu::ConfigurationDescriptor();
  record.descriptors.insert(record.descriptors.end(), configuration.begin(), configuration.end());
  record.port = unsigned(index) + 1;
  record.devnum = nextDevnum_;
  nextDevnum_ = nextDevnum_ == kLastDevnum ? kFirstDevnum : nextDevnum_ + 1;
  node.syspath = testbed_.AddUsbDevice(record);
  if (node.syspath.empty()) return false;
  node.devnode = Testbed::NodePath(record.busnum, record.devnum);
  node.camera = camera;
  node.handler = std::make_unique<UsbfsNode>(camera, int(index), node.generation, record.devnum,
                                             [this] { RequestSync(false); });
  if (!testbed_.Attach(node.devnode, node.handler->Handler())) return false;
  auto mode = modes_.find(index);
  if (mode != modes_.end()) ApplyMode(node, mode->second);
  return true;
}

bool Session::ApplyMode(Node& node, unsigned mode) {
  node.handler->SetReadOnly((mode & 0222) == 0);
  return testbed_.SetNodeMode(node.devnode, mode);
}

void Session::Sync() {
  std::vector<std::shared_ptr<VirtualCamera>> cameras = Cameras();
  std::lock_guard<std::mutex> lock(nodesMutex_);
  for (size_t i = cameras.size(); i < nodes_.size(); ++i) Retire(nodes_[i]);
  nodes_.resize(cameras.size());
  for (size_t i = 0; i < cameras.size(); ++i) {
    bool plugged;
    unsigned generation;
    {
      std::lock_guard<std::mutex> lock(cameras[i]->Mutex());
      plugged = cameras[i]->Plugged();
      generation = cameras[i]->Generation();
    }
    Node& node = nodes_[i];
    if (node.handler && (node.camera != cameras[i] || !plugged || node.generation != generation)) Retire(node);
    if (plugged && !node.handler) Publish(i, cameras[i], node);
  }
}

int Session::OnSync(void* self) {
  auto* session = static_cast<Session*>(self);
  unsigned target;
  {
    std::lock_guard<std::mutex> lock(session->syncMutex_);
    target = session->syncRequests_;
  }
  session->Sync();
  {
    std::lock_guard<std::mutex> lock(session->syncMutex_);
    if (target > session->syncsDone_) session->syncsDone_ = target;
  }
  session->synced_.notify_all();
  return G_SOURCE_REMOVE;
}

void Session::RequestSync(bool wait) {
  unsigned ticket;
  {
    std::lock_guard<std::mutex> lock(syncMutex_);
    ticket = ++syncRequests_;
  }
  g_main_context_invoke(context_, OnSync, this);
  if (!wait) return;
  std::unique_lock<std::mutex> lock(syncMutex_);
  synced_.wait(lock, [&] { return syncsDone_ >= ticket; });
}

std::string Session::List() {
  std::string text;
  std::vector<std::shared_ptr<VirtualCamera>> cameras = Cameras();
  std::lock_guard<std::mutex> lock(nodesMutex_);
  for (size_t i = 0; i < cameras.size(); ++i) {
    char line[160];
    std::lock_guard<std::mutex> cameraLock(cameras[i]->Mutex());
    std::string node = i < nodes_.size() && nodes_[i].handler ? nodes_[i].devnode : "-";
    std::snprintf(line, sizeof line, "%zu %s %s %04x:%04x%s\n", i, cameras[i]->Plugged() ? "plugged" : "unplugged",
                  node.c_str(), cameras[i]->VendorId(), cameras[i]->ProductId(),
                  cameras[i]->FirmwareRunning() ? "" : " (no firmware)");
    text += line;
  }
  return text;
}

std::string Session::Command(const std::string& line) {
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  int camera = -1;
  auto error = [](const std::string& why) { return "error: " + why + "\n"; };
  if (verb == "help") return std::string(kHelp) + "ok\n";
  if (verb == "list") {
    RequestSync(true);
    return List() + "ok\n";
  }
  if (verb == "log") {
    std::string what;
    in >> what;
    if (what == "clear") {
      orvex_emu_log_clear();
      return "ok\n";
    }
    return LogText() + "ok\n";
  }
  if (verb == "configure") {
    std::string path, text;
    in >> path;
    char reason[256] = "";
    if (!ReadFile(path, text)) return error("cannot read " + path);
    if (orvex_emu_configure(text.c_str(), reason, sizeof reason) != 0) return error(reason);
    {
      std::lock_guard<std::mutex> lock(nodesMutex_);
      modes_.clear();  // new cameras, new nodes
    }
    RequestSync(true);
    return "ok\n";
  }
  if (!(in >> camera) || camera < 0 || camera >= orvex_emu_camera_count()) return error("unknown camera or command");
  int result = -1;
  if (verb == "plug") {
    result = orvex_emu_replug(camera);
  } else if (verb == "unplug") {
    result = orvex_emu_unplug(camera);
  } else if (verb == "set") {
    std::string key, value;
    in >> key;
    std::getline(in >> std::ws, value);
    result = orvex_emu_set(camera, key.c_str(), value.c_str());
  } else if (verb == "mode") {
    unsigned mode = 0;
    if (!(in >> std::oct >> mode) || mode > 07777) return error("bad mode");
    std::lock_guard<std::mutex> lock(nodesMutex_);
    modes_[size_t(camera)] = mode;
    bool onBus = size_t(camera) < nodes_.size() && nodes_[size_t(camera)].handler;
    result = onBus && !ApplyMode(nodes_[size_t(camera)], mode) ? -1 : 0;
  } else {
    return error("unknown command '" + verb + "' (try help)");
  }
  if (result != 0) return error("refused: " + line);
  RequestSync(true);
  return "ok\n";
}

}  // namespace orvex_vcam
