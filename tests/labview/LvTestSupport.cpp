#include "LvTestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "common/MemorySystem.h"
#include "core/PelSys.h"
#include "core/SystemList.h"

namespace lvtest {

const StandIn& Runtime() {
  static const StandIn standIn = [] {
    StandIn s;
    s.module = dlopen(LVRT_STANDIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!s.module) {
      ADD_FAILURE() << "cannot load " << LVRT_STANDIN_PATH << ": " << dlerror();
      std::abort();
    }
    s.newHandle = reinterpret_cast<decltype(s.newHandle)>(dlsym(s.module, "DSNewHandle"));
    s.dispose = reinterpret_cast<decltype(s.dispose)>(dlsym(s.module, "DSDisposeHandle"));
    s.handleSize = reinterpret_cast<decltype(s.handleSize)>(dlsym(s.module, "DSGetHandleSize"));
    s.failResizesAfter = reinterpret_cast<decltype(s.failResizesAfter)>(dlsym(s.module, "LvrtStandin_FailResizesAfter"));
    s.shortenHandleSizes =
        reinterpret_cast<decltype(s.shortenHandleSizes)>(dlsym(s.module, "LvrtStandin_ShortenHandleSizes"));
    s.resizeCount = reinterpret_cast<decltype(s.resizeCount)>(dlsym(s.module, "LvrtStandin_ResizeCount"));
    return s;
  }();
  return standIn;
}

void UseStandIn() {
  SetLVRTModule(Runtime().module);
  Runtime().failResizesAfter(-1);
  Runtime().shortenHandleSizes(0);
}

Array::Array() : handle_(Runtime().newHandle(0)) {}

Array::~Array() { Runtime().dispose(handle_); }

std::vector<int32_t> Array::Extents(int numDims) const {
  std::vector<int32_t> extents(numDims);
  std::memcpy(extents.data(), *handle_, numDims * sizeof(int32_t));
  return extents;
}

const std::string TestDescription::kLongId(40, 'I');
const std::string TestDescription::kLongComment(300, 'c');

regEntry* TestDescription::Entry(size_t reg, int8_t shift, uint8_t mask) {
  entries_.push_back(regEntry{shift, mask, &regs_[reg], nullptr});
  return &entries_.back();
}

_Map& TestDescription::AddMap(const char* id, std::vector<regEntry*> entries) {
  for (size_t i = 1; i < entries.size(); ++i) entries[i - 1]->next = entries[i];
  _Map map{};
  map.id = id;
  map.regEntries = entries.empty() ? nullptr : entries.front();
  maps_.push_back(map);
  return maps_.back();
}

TestDescription::TestDescription() {
  regs_ = {{0x03, "CamModeCtrl", "mode register"}, {0x10, "SensNFramesLo", nullptr},
           {0x11, "SensNFramesHi", nullptr},       {0x12, "SensNDarkFrames", nullptr},
           {0x1D, "ExSimpMaxHwin", nullptr},       {0x30, "Gain", "a register without a map"},
           {0x31, "Texts", nullptr}};
  maps_.reserve(8);
  _Map& camMode = AddMap("CamMode", {Entry(0, 0, 0x07)});
  camMode.cmt = "Camera mode";
  camMode.group = "Acquisition";
  camMode.mode = 6;
  camMode.level = 1;
  camMode.max = 7;
  camMode.cammode = 0xFF;
  AddMap("Comp11to8", {Entry(0, 3, 0x08)}).max = 1;
  _Map& frames = AddMap("SensNFrames", {Entry(1, 0, 0xFF), Entry(2, -8, 0x07)});
  frames.cmt = "Frames per acquisition";
  frames.group = "Sensor";
  frames.mode = 4;
  frames.level = 2;
  frames.min = 1;
  frames.max = 2047;
  frames.cachedValue = 10;
  frames.cammode = 0x8F;
  AddMap("SensNDarkFrames", {Entry(3, 0, 0xFF)}).max = 255;
  _Map& texts = AddMap(kLongId.c_str(), {Entry(6, 0, 0xFF)});
  texts.cmt = kLongComment.c_str();
  texts.group = kLongId.c_str();
  texts.max = 0xFFFFFFFFu;
  AddMap("Bare", {});
}

QV_Handle TestDescription::Open() {
  // Only the record itself is the system's to free; its arrays stay ours.
  auto* desc = static_cast<_RegDesc*>(std::calloc(1, sizeof(_RegDesc)));
  desc->regCount = static_cast<uint16_t>(regs_.size());
  desc->regs = regs_.data();
  desc->mapCount = static_cast<uint16_t>(maps_.size());
  desc->maps = maps_.data();
  return orvex_test::OpenMemorySystem("sys=labview-test", 0x40, orvex::BlockPtr<_RegDesc>(desc));
}

std::string SourceText(const LV_ErrorCluster& error) {
  if (!error.source || !*error.source) return "<none>";
  return std::string((*error.source)->str, (*error.source)->cnt);
}

}  // namespace lvtest
