// Small records with known contents for the helper-library tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "K7Hlp.h"

namespace k7hlp_test {

// A record prepared with K7Hlp_alloc and released with K7Hlp_free.
class Record {
 public:
  Record();
  ~Record();
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;

  K7Hlp_Data* operator->() { return &data_; }
  const K7Hlp_Data* operator->() const { return &data_; }
  K7Hlp_Data* get() { return &data_; }
  const K7Hlp_Data& operator*() const { return data_; }

  float at(uint32_t x, uint32_t y) const;
  std::vector<float> floats() const;
  void setParam(const char* name, int32_t value);
  // A camera header (type 1, 2048 bytes, zero) to be filled with the setters below.
  uint8_t* giveHeader();
  void setZTags(std::initializer_list<uint16_t> samples);  // also sets nFrames
  void setNFrames(uint16_t n);
  void setFrmDur(uint32_t frmDur);

 private:
  K7Hlp_Data data_{};
};

// A file name of this test process's own below the test temporary folder
// (ctest runs test cases in parallel processes).
std::string ScratchPath(const char* name);

// A float image W x H from values in row order, unit 2, CamMode as given, camera header.
void MakeSurface(Record& r, uint32_t w, uint32_t h, const std::vector<float>& values, int32_t camMode = 5);
// A raw CamMode 4/7 record with planes (surface, amplitude).
void MakeA16Z16(Record& r, int32_t camMode, uint32_t w, uint32_t h, const std::vector<uint16_t>& surface,
                const std::vector<uint16_t>& amplitude);
// A raw CamMode 5 record W x H x F x 3 whose pixels all share one frame profile
// (words per frame for surface, amplitude and phase).
void MakeWindow(Record& r, uint32_t w, uint32_t h, const std::vector<uint16_t>& surface,
                const std::vector<uint16_t>& amplitude, const std::vector<uint16_t>& phase);

}  // namespace k7hlp_test
