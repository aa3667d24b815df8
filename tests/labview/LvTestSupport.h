// Shared pieces of the LabVIEW tests: the stand-in run-time, LabVIEW arrays
// and a system with a register description built in memory.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "LvrtStandin.h"
#include "OrvexLabVIEW.h"

namespace lvtest {

// The stand-in, loaded privately once per process and named to the library.
struct StandIn {
  void* module = nullptr;
  decltype(&DSNewHandle) newHandle = nullptr;
  decltype(&DSDisposeHandle) dispose = nullptr;
  decltype(&DSGetHandleSize) handleSize = nullptr;
  decltype(&LvrtStandin_FailResizesAfter) failResizesAfter = nullptr;
  decltype(&LvrtStandin_ShortenHandleSizes) shortenHandleSizes = nullptr;
  decltype(&LvrtStandin_ResizeCount) resizeCount = nullptr;
};
const StandIn& Runtime();
// Names the stand-in to the library and clears its switches.
void UseStandIn();

// An owned LabVIEW array handle (empty block at start).
class Array {
 public:
  Array();
  ~Array();
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;
  LV_Handle get() const { return handle_; }
  std::vector<int32_t> Extents(int numDims) const;
  template <class T>
  T* Elements(int numDims) const {
    size_t offset = numDims * sizeof(int32_t);
    if (sizeof(T) == 8) offset = (offset + 7) & ~size_t{7};
    return reinterpret_cast<T*>(static_cast<uint8_t*>(*handle_) + offset);
  }
  int32_t BlockSize() const { return Runtime().handleSize(handle_); }

 private:
  LV_Handle handle_;
};

// A register description of the acquisition maps and a few more, in memory:
// maps CamMode, Comp11to8, SensNFrames (two registers), SensNDarkFrames,
// one with overlong texts and one without texts; register Gain has no map.
class TestDescription {
 public:
  TestDescription();
  // An open system with this description (owned by the open-system list; the
  // description must outlive it).
  QV_Handle Open();
  const std::vector<_Map>& maps() const { return maps_; }

  static const std::string kLongId, kLongComment;

 private:
  _Map& AddMap(const char* id, std::vector<regEntry*> entries);
  regEntry* Entry(size_t reg, int8_t shift, uint8_t mask);

  std::vector<_Reg> regs_;
  std::deque<regEntry> entries_;
  std::vector<_Map> maps_;
};

std::string SourceText(const LV_ErrorCluster& error);

}  // namespace lvtest
