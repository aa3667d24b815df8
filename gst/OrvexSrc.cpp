#include "OrvexSrc.h"

#include <gst/base/gstpushsrc.h>
#include <gst/video/video.h>

#include <atomic>
#include <mutex>
#include <string>

#include "CameraSession.h"
#include "CapsFormat.h"

GST_DEBUG_CATEGORY_STATIC(orvex_src_debug);
#define GST_CAT_DEFAULT orvex_src_debug

using orvexgst::Output;

namespace {

// What the frames look like; caps queries read it from any thread.
struct Shape {
  Output output = Output::Surface;
  uint32_t width = 0, height = 0;  // 0 before the first frame
  double rate = 0;                 // acquisitions per second, 0 unknown
};

// What the streaming thread owns between start and stop.
struct Stream {
  orvexgst::CameraSession session;
  orvexgst::Image pending;  // read in start to learn the shape
  bool hasPending = false;
  bool floats = false;
  size_t stride = 0;  // of the negotiated caps
};

struct State {
  std::mutex lock;  // guards config, settingsChanged and shape
  orvexgst::SessionConfig config;
  bool settingsChanged = false;
  Shape shape;
  std::atomic<bool> flushing{false};
  Stream stream;

  Shape CurrentShape() {
    std::lock_guard<std::mutex> guard(lock);
    return shape;
  }
  void SetShape(const Shape& next) {
    std::lock_guard<std::mutex> guard(lock);
    shape = next;
  }
};

}  // namespace

struct GstOrvexSrc {
  GstPushSrc parent;
  State* state;
};

struct GstOrvexSrcClass {
  GstPushSrcClass parent_class;
};

G_DEFINE_TYPE(GstOrvexSrc, gst_orvex_src, GST_TYPE_PUSH_SRC)

namespace {

enum Property { PROP_0, PROP_OPEN_STRING, PROP_SERIAL, PROP_SETTINGS, PROP_OUTPUT, PROP_METHOD, PROP_THRESHOLD,
                PROP_REPLAY, PROP_TIMEOUT };

GType OutputType() {
  static GType type = 0;
  static const GEnumValue values[] = {
      {int(Output::Surface), "surface position (GRAY16_LE in 1/32 frame, or float frames)", "surface"},
      {int(Output::Amplitude), "amplitude (GRAY16_LE in 1/16, or float)", "amplitude"},
      {int(Output::Raw), "processed acquisition as 16-bit words (GRAY16_LE)", "raw"},
      {int(Output::Intensity), "intensity plane of CamMode Intensity (GRAY16_LE, or float)", "intensity"},
      {0, nullptr, nullptr}};
  if (g_once_init_enter(&type)) g_once_init_leave(&type, g_enum_register_static("GstOrvexOutput", values));
  return type;
}

GType MethodType() {
  static GType type = 0;
  static const GEnumValue values[] = {{K7Hlp_extractThreshold, "threshold crossing", "threshold"},
                                      {K7Hlp_extractCentroid, "centroid of the squared amplitudes", "centroid"},
                                      {K7Hlp_extractCentroidPhase, "centroid with phase correction", "phase"},
                                      {0, nullptr, nullptr}};
  if (g_once_init_enter(&type)) g_once_init_leave(&type, g_enum_register_static("GstOrvexMethod", values));
  return type;
}

GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format=(string)GRAY16_LE, width=(int)[1, 65535], height=(int)[1, 65535], "
                    "framerate=(fraction)[0/1, MAX]; "
                    "video/x-raw, format=(string)BGRA, orvex-sample=(string)F32LE, width=(int)[1, 65535], "
                    "height=(int)[1, 65535], framerate=(fraction)[0/1, MAX]"));

State& StateOf(gpointer object) { return *reinterpret_cast<GstOrvexSrc*>(object)->state; }

void SetString(std::string* target, const GValue* value) {
  const gchar* text = g_value_get_string(value);
  *target = text ? text : "";
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  State& s = StateOf(object);
  std::lock_guard<std::mutex> guard(s.lock);
  switch (id) {
    case PROP_OPEN_STRING: SetString(&s.config.openString, value); break;
    case PROP_SERIAL: SetString(&s.config.serial, value); break;
    case PROP_SETTINGS:
      SetString(&s.config.settings, value);
      s.settingsChanged = true;
      break;
    case PROP_OUTPUT: s.config.output = Output(g_value_get_enum(value)); break;
    case PROP_METHOD: s.config.method = _K7Hlp_extractMode(g_value_get_enum(value)); break;
    case PROP_THRESHOLD: s.config.threshold = g_value_get_float(value); break;
    case PROP_REPLAY: SetString(&s.config.replay, value); break;
    case PROP_TIMEOUT: s.config.timeoutMs = g_value_get_uint(value); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  State& s = StateOf(object);
  std::lock_guard<std::mutex> guard(s.lock);
  switch (id) {
    case PROP_OPEN_STRING: g_value_set_string(value, s.config.openString.c_str()); break;
    case PROP_SERIAL: g_value_set_string(value, s.config.serial.c_str()); break;
    case PROP_SETTINGS: g_value_set_string(value, s.config.settings.c_str()); break;
    case PROP_OUTPUT: g_value_set_enum(value, int(s.config.output)); break;
    case PROP_METHOD: g_value_set_enum(value, s.config.method); break;
    case PROP_THRESHOLD: g_value_set_float(value, s.config.threshold); break;
    case PROP_REPLAY: g_value_set_string(value, s.config.replay.c_str()); break;
    case PROP_TIMEOUT: g_value_set_uint(value, s.config.timeoutMs); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

void Finalize(GObject* object) {
  delete reinterpret_cast<GstOrvexSrc*>(object)->state;
  G_OBJECT_CLASS(gst_orvex_src_parent_class)->finalize(object);
}

void PostReadError(GstOrvexSrc* self, orvexgst::ReadResult result, const std::string& error) {
  if (result == orvexgst::ReadResult::kWrongMode)
    GST_ELEMENT_ERROR(self, STREAM, WRONG_TYPE, ("The camera mode does not give this output."), ("%s", error.c_str()));
  else
    GST_ELEMENT_ERROR(self, RESOURCE, READ, ("Could not read from the camera."), ("%s", error.c_str()));
}

bool ReadFirstImage(GstOrvexSrc* self, Output output) {
  Stream& stream = self->state->stream;
  std::string error;
  orvexgst::ReadResult result = stream.session.Read(&stream.pending, &error);
  if (result == orvexgst::ReadResult::kImage) {
    stream.hasPending = true;
    self->state->SetShape({output, stream.pending.width, stream.pending.height, stream.session.AcquisitionRate()});
    return true;
  }
  if (result == orvexgst::ReadResult::kEndOfStream)
    GST_ELEMENT_ERROR(self, RESOURCE, READ, ("The recording holds no acquisition."), (nullptr));
  else
    PostReadError(self, result, error);
  return false;
}

gboolean Start(GstBaseSrc* base) {
  auto* self = reinterpret_cast<GstOrvexSrc*>(base);
  State& s = *self->state;
  orvexgst::SessionConfig config;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    config = s.config;
    s.settingsChanged = false;
  }
  Stream& stream = s.stream;
  std::string error;
  if (!stream.session.Open(config, &error)) {
    bool settings = error.rfind("settings:", 0) == 0;
    if (settings)
      GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS, ("Could not apply the camera settings."), ("%s", error.c_str()));
    else
      GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("No camera (or recording) could be opened."),
                        ("%s", error.c_str()));
    stream.session.Close();
    return FALSE;
  }
  if (!ReadFirstImage(self, config.output)) {
    stream.session.Close();
    return FALSE;
  }
  return TRUE;
}

gboolean Stop(GstBaseSrc* base) {
  State& s = StateOf(base);
  s.stream.session.Close();
  s.stream.hasPending = false;
  s.stream.pending = orvexgst::Image{};
  s.SetShape(Shape{});
  return TRUE;
}

GstCaps* GetCaps(GstBaseSrc* base, GstCaps* filter) {
  Shape shape = StateOf(base).CurrentShape();
  GstCaps* caps = shape.width ? orvexgst::CapsFor(shape.output, shape.width, shape.height, shape.rate)
                              : gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(base));
  if (filter) {
    GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(caps);
    caps = both;
  }
  return caps;
}

gboolean SetCaps(GstBaseSrc* base, GstCaps* caps) {
  Stream& stream = StateOf(base).stream;
  GstVideoInfo info;
  if (!gst_video_info_from_caps(&info, caps)) return FALSE;
  stream.floats = orvexgst::CarriesFloats(caps);
  stream.stride = size_t(GST_VIDEO_INFO_PLANE_STRIDE(&info, 0));
  GST_DEBUG_OBJECT(base, "caps %" GST_PTR_FORMAT, caps);
  return TRUE;
}

gboolean Unlock(GstBaseSrc* base) {
  StateOf(base).flushing = true;
  return TRUE;
}

gboolean UnlockStop(GstBaseSrc* base) {
  StateOf(base).flushing = false;
  return TRUE;
}

GstClockTime FrameDuration(double rate) {
  if (rate <= 0) return GST_CLOCK_TIME_NONE;
  gint num = 0, den = 1;
  gst_util_double_to_fraction(rate, &num, &den);
  return num > 0 ? gst_util_uint64_scale_int(GST_SECOND, den, num) : GST_CLOCK_TIME_NONE;
}

gboolean Query(GstBaseSrc* base, GstQuery* query) {
  if (GST_QUERY_TYPE(query) != GST_QUERY_LATENCY)
    return GST_BASE_SRC_CLASS(gst_orvex_src_parent_class)->query(base, query);
  // A frame is stamped when its acquisition is complete: one acquisition late.
  GstClockTime duration = FrameDuration(StateOf(base).CurrentShape().rate);
  gst_query_set_latency(query, TRUE, GST_CLOCK_TIME_IS_VALID(duration) ? duration : 0, GST_CLOCK_TIME_NONE);
  return TRUE;
}

// Running time of the pipeline now; none without a clock.
GstClockTime RunningTimeNow(GstElement* element) {
  GstClock* clock = gst_element_get_clock(element);
  if (!clock) return GST_CLOCK_TIME_NONE;
  GstClockTime now = gst_clock_get_time(clock), base = gst_element_get_base_time(element);
  gst_object_unref(clock);
  return now >= base ? now - base : 0;
}

// Settings written while streaming take effect before the next acquisition.
bool ApplyChangedSettings(GstOrvexSrc* self) {
  State& s = *self->state;
  std::string settings;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.settingsChanged) return true;
    s.settingsChanged = false;
    settings = s.config.settings;
  }
  std::string error;
  if (s.stream.session.ApplySettings(settings, &error)) return true;
  GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS, ("Could not apply the camera settings."), ("%s", error.c_str()));
  return false;
}

GstFlowReturn NextImage(GstOrvexSrc* self, orvexgst::Image* image) {
  Stream& stream = self->state->stream;
  if (stream.hasPending) {
    stream.hasPending = false;
    *image = std::move(stream.pending);
    return GST_FLOW_OK;
  }
  std::string error;
  orvexgst::ReadResult result = stream.session.Read(image, &error);
  if (result == orvexgst::ReadResult::kImage) return GST_FLOW_OK;
  if (result == orvexgst::ReadResult::kEndOfStream) return GST_FLOW_EOS;
  if (self->state->flushing) return GST_FLOW_FLUSHING;
  PostReadError(self, result, error);
  return GST_FLOW_ERROR;
}

// A changed shape or timing renegotiates before the frame goes out.
bool FollowShape(GstBaseSrc* base, const orvexgst::Image& image, Shape* shape) {
  State& s = StateOf(base);
  Shape current = s.CurrentShape();
  *shape = {current.output, image.width, image.height, s.stream.session.AcquisitionRate()};
  if (shape->width == current.width && shape->height == current.height && shape->rate == current.rate) return true;
  GST_INFO_OBJECT(base, "shape %ux%u -> %ux%u, rate %g -> %g", current.width, current.height, shape->width,
                  shape->height, current.rate, shape->rate);
  s.SetShape(*shape);
  return gst_base_src_negotiate(base);
}

GstFlowReturn Create(GstPushSrc* push, GstBuffer** out) {
  auto* self = reinterpret_cast<GstOrvexSrc*>(push);
  auto* base = GST_BASE_SRC(push);
  State& s = *self->state;
  if (s.flushing) return GST_FLOW_FLUSHING;
  if (!ApplyChangedSettings(self)) return GST_FLOW_ERROR;
  orvexgst::Image image;
  GstFlowReturn flow = NextImage(self, &image);
  if (flow != GST_FLOW_OK) return flow;
  GstClockTime captured = RunningTimeNow(GST_ELEMENT(push));
  if (s.flushing) return GST_FLOW_FLUSHING;
  Shape shape;
  if (!FollowShape(base, image, &shape)) return GST_FLOW_NOT_NEGOTIATED;

  std::vector<uint8_t> bytes = orvexgst::FrameBytes(image, shape.output, s.stream.floats, s.stream.stride);
  GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes.size(), nullptr);
  gst_buffer_fill(buffer, 0, bytes.data(), bytes.size());
  GST_BUFFER_PTS(buffer) = captured;
  GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DURATION(buffer) = FrameDuration(shape.rate);
  GST_BUFFER_OFFSET(buffer) = image.counter;
  GST_BUFFER_OFFSET_END(buffer) = guint64(image.counter) + 1;
  *out = buffer;
  return GST_FLOW_OK;
}

}  // namespace

static void gst_orvex_src_init(GstOrvexSrc* self) {
  self->state = new State;
  gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
  gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

static void gst_orvex_src_class_init(GstOrvexSrcClass* klass) {
  GST_DEBUG_CATEGORY_INIT(orvex_src_debug, "orvexsrc", 0, "Orvex camera source");
  auto* object = G_OBJECT_CLASS(klass);
  object->set_property = SetProperty;
  object->get_property = GetProperty;
  object->finalize = Finalize;
  const auto rw = GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
  const auto ready = GParamFlags(rw | GST_PARAM_MUTABLE_READY);
  g_object_class_install_property(
      object, PROP_OPEN_STRING,
      g_param_spec_string("open-string", "Open string", "System to open", "sys=k7cam_tq20", ready));
  g_object_class_install_property(
      object, PROP_SERIAL,
      g_param_spec_string("serial", "Serial", "Serial number of the camera (empty: the first)", "", ready));
  g_object_class_install_property(
      object, PROP_SETTINGS,
      g_param_spec_string("settings", "Settings",
                          "NAME=VALUE ... written to maps or registers after the open; a change while "
                          "playing applies before the next acquisition",
                          "", GParamFlags(rw | GST_PARAM_MUTABLE_PLAYING)));
  g_object_class_install_property(
      object, PROP_OUTPUT,
      g_param_spec_enum("output", "Output", "What the frames show", OutputType(), int(Output::Surface), ready));
  g_object_class_install_property(object, PROP_METHOD,
                                  g_param_spec_enum("method", "Method", "Surface extraction for window-mode data",
                                                    MethodType(), K7Hlp_extractCentroid, ready));
  g_object_class_install_property(
      object, PROP_THRESHOLD,
      g_param_spec_float("threshold", "Threshold", "Amplitude threshold of the threshold method", 1e-6f, G_MAXFLOAT,
                         1.5f, ready));
  g_object_class_install_property(
      object, PROP_REPLAY,
      g_param_spec_string("replay", "Replay", "Stream file to replay instead of a camera (end of stream at its end)",
                          "", ready));
  g_object_class_install_property(
      object, PROP_TIMEOUT,
      g_param_spec_uint("timeout", "Time-out", "USB read time-out in milliseconds", 1, 600000, 2000, ready));

  auto* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_set_static_metadata(element, "Orvex camera source", "Source/Video",
                                        "Surfaces, amplitudes and raw data of an Orvex lock-in depth camera",
                                        "Orvex camera kit");
  gst_element_class_add_static_pad_template(element, &src_template);

  auto* base = GST_BASE_SRC_CLASS(klass);
  base->start = Start;
  base->stop = Stop;
  base->get_caps = GetCaps;
  base->set_caps = SetCaps;
  base->unlock = Unlock;
  base->unlock_stop = UnlockStop;
  base->query = Query;
  GST_PUSH_SRC_CLASS(klass)->create = Create;
}
