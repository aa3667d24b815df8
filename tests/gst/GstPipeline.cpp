#include "GstPipeline.h"

#include <cstring>

namespace gsttest {

uint16_t Frame::Word(int x, int y) const {
  size_t at = (size_t(y) * width + x) * 2;
  return uint16_t(bytes.at(at) | (bytes.at(at + 1) << 8));
}

float Frame::Float(int x, int y) const {
  float value;
  size_t at = (size_t(y) * width + x) * 4;
  bytes.at(at + 3);  // bounds
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

Pipeline::Pipeline(const std::string& description) {
  GError* error = nullptr;
  pipeline_ = gst_parse_launch(description.c_str(), &error);
  if (error) {
    g_printerr("%s: %s\n", description.c_str(), error->message);
    g_clear_error(&error);
    if (pipeline_) gst_object_unref(pipeline_);
    pipeline_ = nullptr;
  }
}

Pipeline::~Pipeline() {
  if (!pipeline_) return;
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  gst_object_unref(pipeline_);
}

GstElement* Pipeline::element(const char* name) const {
  GstElement* e = gst_bin_get_by_name(GST_BIN(pipeline_), name);
  if (e) gst_object_unref(e);  // the bin keeps it alive
  return e;
}

GstStateChangeReturn Pipeline::Play() { return gst_element_set_state(pipeline_, GST_STATE_PLAYING); }
GstStateChangeReturn Pipeline::Stop() { return gst_element_set_state(pipeline_, GST_STATE_NULL); }

bool Pipeline::Pull(const char* sink, Frame* frame, GstClockTime timeout) {
  GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(element(sink)), timeout);
  if (!sample) return false;
  GstCaps* caps = gst_sample_get_caps(sample);
  GstStructure* s = gst_caps_get_structure(caps, 0);
  gchar* text = gst_caps_to_string(caps);
  frame->caps = text;
  g_free(text);
  gst_structure_get_int(s, "width", &frame->width);
  gst_structure_get_int(s, "height", &frame->height);
  gst_structure_get_fraction(s, "framerate", &frame->rateNum, &frame->rateDen);
  const gchar* format = gst_structure_get_string(s, "format");
  frame->format = format ? format : "";
  frame->sample = gst_structure_get_string(s, "orvex-sample") ? "F32LE" : nullptr;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  frame->pts = GST_BUFFER_PTS(buffer);
  frame->duration = GST_BUFFER_DURATION(buffer);
  frame->offset = GST_BUFFER_OFFSET(buffer);
  frame->bytes.resize(gst_buffer_get_size(buffer));
  gst_buffer_extract(buffer, 0, frame->bytes.data(), frame->bytes.size());
  gst_sample_unref(sample);
  return true;
}

std::string Pipeline::WaitForErrorOrEos(GstClockTime timeout) {
  GstBus* bus = gst_element_get_bus(pipeline_);
  GstMessage* message =
      gst_bus_timed_pop_filtered(bus, timeout, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
  gst_object_unref(bus);
  if (!message) return "";
  std::string result = "EOS";
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    result = std::string(error->message) + " | " + (debug ? debug : "");
    g_clear_error(&error);
    g_free(debug);
  }
  gst_message_unref(message);
  return result;
}

}  // namespace gsttest
