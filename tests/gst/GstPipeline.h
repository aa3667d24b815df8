// A pipeline from a gst-launch description with appsinks to pull frames
// from, and its bus to watch for errors and the end of stream.
#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gsttest {

struct Frame {
  std::string caps;  // as text, to compare and print
  int width = 0, height = 0;
  int rateNum = 0, rateDen = 0;
  std::string format;
  const char* sample = nullptr;  // value of the custom float field, if any
  GstClockTime pts = GST_CLOCK_TIME_NONE, duration = GST_CLOCK_TIME_NONE;
  uint64_t offset = 0;
  std::vector<uint8_t> bytes;

  uint16_t Word(int x, int y) const;
  float Float(int x, int y) const;
};

class Pipeline {
 public:
  explicit Pipeline(const std::string& description);
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  bool ok() const { return pipeline_ != nullptr; }
  GstElement* element(const char* name) const;
  GstStateChangeReturn Play();
  GstStateChangeReturn Stop();
  // The next frame of appsink `sink`; false at the end of stream or after the time-out.
  bool Pull(const char* sink, Frame* frame, GstClockTime timeout = 20 * GST_SECOND);
  // Waits for an error or the end of stream; the error text (or "EOS", or "" on time-out).
  std::string WaitForErrorOrEos(GstClockTime timeout);

 private:
  GstElement* pipeline_ = nullptr;
};

}  // namespace gsttest
