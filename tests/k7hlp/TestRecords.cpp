#include "TestRecords.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "Record.h"

namespace k7hlp_test {

Record::Record() { K7Hlp_alloc(&data_); }
Record::~Record() { K7Hlp_free(&data_); }

float Record::at(uint32_t x, uint32_t y) const { return static_cast<const float*>(data_.data)[x + data_.dim[0] * y]; }

std::vector<float> Record::floats() const {
  const float* f = static_cast<const float*>(data_.data);
  return std::vector<float>(f, f + data_.dataSize / sizeof(float));
}

void Record::setParam(const char* name, int32_t value) {
  for (K7Hlp_Param& p : data_.param)
    if (std::strcmp(p.name, name) == 0) p.value = value;
}

uint8_t* Record::giveHeader() { return k7hlp::GiveHeader(data_, K7Hlp_headerCamera, 2048); }

void Record::setZTags(std::initializer_list<uint16_t> samples) {
  uint8_t* h = static_cast<uint8_t*>(data_.header);
  size_t i = 0;
  for (uint16_t s : samples) std::memcpy(h + 32 + 2 * i++, &s, 2);
  setNFrames(static_cast<uint16_t>(samples.size()));
}

void Record::setNFrames(uint16_t n) { std::memcpy(static_cast<uint8_t*>(data_.header) + 2040, &n, 2); }

void Record::setFrmDur(uint32_t frmDur) { std::memcpy(static_cast<uint8_t*>(data_.header) + 2020, &frmDur, 4); }

std::string ScratchPath(const char* name) {
  return testing::TempDir() + "k7hlp_" + std::to_string(getpid()) + "_" + name;
}

void MakeSurface(Record& r, uint32_t w, uint32_t h, const std::vector<float>& values, int32_t camMode) {
  float* f = k7hlp::GiveFloatSamples(*r.get(), w, h, 0, 0, size_t{w} * h);
  std::memcpy(f, values.data(), values.size() * sizeof(float));
  r.giveHeader();
  r.setParam("CamMode", camMode);
  r->unit = K7Hlp_unitFrames;
}

void MakeA16Z16(Record& r, int32_t camMode, uint32_t w, uint32_t h, const std::vector<uint16_t>& surface,
                const std::vector<uint16_t>& amplitude) {
  const uint32_t dim[4] = {w, h, 2, 0};
  uint16_t* words = k7hlp::GiveRawSamples(*r.get(), dim, size_t{w} * h * 2);
  std::memcpy(words, surface.data(), surface.size() * 2);
  std::memcpy(words + size_t{w} * h, amplitude.data(), amplitude.size() * 2);
  r.giveHeader();
  r.setParam("CamMode", camMode);
}

void MakeWindow(Record& r, uint32_t w, uint32_t h, const std::vector<uint16_t>& surface,
                const std::vector<uint16_t>& amplitude, const std::vector<uint16_t>& phase) {
  const uint32_t f = static_cast<uint32_t>(amplitude.size());
  const uint32_t dim[4] = {w, h, f, 3};
  const size_t pixels = size_t{w} * h;
  uint16_t* words = k7hlp::GiveRawSamples(*r.get(), dim, pixels * f * 3);
  const std::vector<uint16_t>* components[3] = {&surface, &amplitude, &phase};
  for (uint32_t c = 0; c < 3; ++c)
    for (uint32_t k = 0; k < f; ++k)
      for (size_t i = 0; i < pixels; ++i) words[i + pixels * (k + f * c)] = (*components[c])[k];
  r.giveHeader();
  r.setParam("CamMode", 5);
}

}  // namespace k7hlp_test
