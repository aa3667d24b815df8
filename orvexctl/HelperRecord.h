// A libK7Hlp record owned from alloc to free.
#pragma once

#include "K7Hlp.h"

namespace orvexctl {

class HelperRecord {
 public:
  HelperRecord() { K7Hlp_alloc(&data_); }
  ~HelperRecord() { K7Hlp_free(&data_); }
  HelperRecord(const HelperRecord&) = delete;
  HelperRecord& operator=(const HelperRecord&) = delete;
  K7Hlp_Data* get() { return &data_; }
  const K7Hlp_Data* get() const { return &data_; }
  // The float sample at (x, y); the caller checks the shape.
  float At(unsigned x, unsigned y) const { return static_cast<const float*>(data_.data)[y * data_.dim[0] + x]; }
  bool IsImage() const { return data_.dataType == K7Hlp_dataFloat && data_.data && data_.dim[0] && data_.dim[1]; }

 private:
  K7Hlp_Data data_{};
};

}  // namespace orvexctl
