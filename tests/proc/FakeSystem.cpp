#include "FakeSystem.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "acq/CamDataRecord.h"
#include "common/MemorySystem.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "desc/MapAccess.h"
#include "desc/NameLookup.h"

namespace orvex_test {

FakeSystem::FakeSystem(const std::vector<MapSpec>& maps, const std::vector<RegSpec>& regs) {
  regs_.reserve(256);
  for (const RegSpec& r : regs) regs_.push_back(_Reg{r.address, names_.emplace_back(r.name).c_str(), ""});
  maps_.reserve(maps.size());
  for (const MapSpec& m : maps) {
    _Map map{};
    map.id = names_.emplace_back(m.name).c_str();
    map.cmt = "";
    map.group = "";
    map.max = 0xFFFFFFFFu;
    regEntry* previous = nullptr;
    for (uint8_t i = 0; i < m.bytes; ++i) {
      if (regs_.size() == regs_.capacity()) throw std::length_error("too many registers");
      const std::string& regName = names_.emplace_back(m.name + "_" + std::to_string(i));
      regs_.push_back(_Reg{static_cast<uint8_t>(m.address + i), regName.c_str(), ""});
      regEntry& entry = entries_.emplace_back(regEntry{static_cast<int8_t>(-8 * i), 0xFF, &regs_.back(), nullptr});
      if (previous) previous->next = &entry;
      else map.regEntries = &entry;
      previous = &entry;
    }
    maps_.push_back(map);
  }
  auto* desc = static_cast<_RegDesc*>(std::calloc(1, sizeof(_RegDesc)));
  desc->regCount = static_cast<uint16_t>(regs_.size());
  desc->regs = regs_.data();
  desc->mapCount = static_cast<uint16_t>(maps_.size());
  desc->maps = maps_.data();
  handle_ = orvex_test::OpenMemorySystem("sys=fake", 256, orvex::BlockPtr<_RegDesc>(desc));
}

FakeSystem::~FakeSystem() {
  if (orvex::IsOpenSystem(handle_)) orvex::CloseSystem(handle_);
}

CPelCam& FakeSystem::camera() const { return *handle_->camera; }

void FakeSystem::SetMap(const std::string& name, uint32_t value) {
  orvex::SetMapValue(camera(), orvex::FindMap(camera().regDesc.get(), name.c_str()), value);
}

uint32_t FakeSystem::GetMap(const std::string& name) {
  return orvex::GetMapValue(camera(), orvex::FindMap(camera().regDesc.get(), name.c_str()));
}

_CamData* FakeSystem::PutRecord(size_t slot, _CamData* record) {
  auto& slots = camera().slots;
  if (slots.size() <= slot) slots.resize(slot + 1, nullptr);
  orvex::ReleaseCamData(slots[slot]);
  slots[slot] = record;
  return record;
}

}  // namespace orvex_test
