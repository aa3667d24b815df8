// An open system without a device whose register description is built in
// memory: maps of one or more whole registers (low byte first) and named
// registers, at addresses chosen by the test.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "Orvex.h"
#include "core/PelCam.h"

namespace orvex_test {

struct MapSpec {
  std::string name;
  uint8_t address; // of the low byte
  uint8_t bytes;   // 1 to 4 consecutive registers
};

struct RegSpec {
  std::string name;
  uint8_t address;
};

class FakeSystem {
 public:
  explicit FakeSystem(const std::vector<MapSpec>& maps, const std::vector<RegSpec>& regs = {});
  ~FakeSystem();
  FakeSystem(const FakeSystem&) = delete;
  FakeSystem& operator=(const FakeSystem&) = delete;

  QV_Handle handle() const { return handle_; }
  CPelCam& camera() const;
  void SetMap(const std::string& name, uint32_t value);
  uint32_t GetMap(const std::string& name);
  // Puts a record into the slot (taking over the one reference it was created with).
  _CamData* PutRecord(size_t slot, _CamData* record);

 private:
  QV_Handle handle_ = nullptr;
  std::deque<std::string> names_;
  std::vector<_Reg> regs_;
  std::deque<regEntry> entries_;
  std::vector<_Map> maps_;
};

}  // namespace orvex_test
