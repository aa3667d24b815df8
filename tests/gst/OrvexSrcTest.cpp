// orvexsrc in pipelines against the emulated camera: frames against the
// scene's ground truth, caps and timing, replay, faults, renegotiation and a
// loopback network stream.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>

#include "EmulatorControl.h"
#include "GstPipeline.h"
#include "Orvex.h"
#include "e2e/Scene.h"

using gsttest::Frame;
using gsttest::Pipeline;

namespace {

constexpr int kWidth = 280, kHeight = 292;
// SensTqp 845 gives a demodulation period of 100000 ns, SensNavM2 1 four
// cycles per frame: 400 us per frame, 12.8 ms per acquisition of 32 frames.
const std::string kA16Z16 = "CamMode=A16Z16 SensNFrames=32 SensTqp=845 SensNavM2=1 BSEnable=0";

class OrvexSrcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    void* emulator = dlopen(ORVEX_EMULATOR_DIR "/libusb-0.1.so.4", RTLD_NOW | RTLD_GLOBAL);
    configure_ = emulator ? reinterpret_cast<decltype(configure_)>(dlsym(emulator, "orvex_emu_configure")) : nullptr;
    if (!configure_) GTEST_SKIP() << "emulator not built";
    Configure("fpga = configured\n");
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
  }

  void Configure(const std::string& text) {
    char error[256] = "";
    ASSERT_EQ(configure_(text.c_str(), error, sizeof error), 0) << error;
  }

  static std::string Source(const std::string& settings, const std::string& more = "") {
    return "orvexsrc name=src open-string=\"sys=k7cam_tq20\" settings=\"" + settings + "\" " + more;
  }

  decltype(&orvex_emu_configure) configure_ = nullptr;
};

void ExpectSceneWords(const Frame& frame, double wordsPerUnit, bool surface) {
  ASSERT_EQ(frame.width, kWidth);
  ASSERT_EQ(frame.height, kHeight);
  int wrong = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      double truth = surface ? e2e::Depth(x, y) : e2e::Amplitude(x, y);
      if (frame.Word(x, y) != std::lround(truth * wordsPerUnit) && ++wrong < 5)
        ADD_FAILURE() << "(" << x << ", " << y << "): " << frame.Word(x, y) << " for " << truth;
    }
  EXPECT_EQ(wrong, 0);
}

TEST_F(OrvexSrcTest, SurfaceAndAmplitudeFramesEqualTheSceneWithCapsAndTiming) {
  for (const char* output : {"surface", "amplitude"}) {
    SCOPED_TRACE(output);
    bool surface = std::string(output) == "surface";
    Pipeline p(Source(kA16Z16, std::string("output=") + output) + " ! appsink name=out sync=false");
    ASSERT_TRUE(p.ok());
    ASSERT_NE(p.Play(), GST_STATE_CHANGE_FAILURE);
    Frame previous;
    for (int i = 0; i < 3; ++i) {
      Frame frame;
      ASSERT_TRUE(p.Pull("out", &frame)) << p.WaitForErrorOrEos(0);
      EXPECT_EQ(frame.format, "GRAY16_LE") << frame.caps;
      EXPECT_EQ(frame.rateNum * 8, frame.rateDen * 625) << frame.caps;  // 78.125 Hz
      EXPECT_EQ(frame.duration, 12800 * GST_USECOND);
      ExpectSceneWords(frame, surface ? 32 : 16, surface);
      ASSERT_TRUE(GST_CLOCK_TIME_IS_VALID(frame.pts));
      if (i > 0) {
        EXPECT_GT(frame.pts, previous.pts);
        EXPECT_EQ(frame.offset, previous.offset + 1);  // the acquisition counter
      }
      previous = frame;
    }
  }
}

TEST_F(OrvexSrcTest, WindowModeFloatSurfaceWithinTheExtractionTolerance) {
  Pipeline p(Source("CamMode=Window ExSimpMaxHwin=3 SensNFrames=32", "method=centroid") +
             " ! video/x-raw,format=BGRA ! appsink name=out sync=false");
  ASSERT_TRUE(p.ok());
  ASSERT_NE(p.Play(), GST_STATE_CHANGE_FAILURE);
  Frame frame;
  ASSERT_TRUE(p.Pull("out", &frame)) << p.WaitForErrorOrEos(0);
  ASSERT_NE(frame.sample, nullptr) << frame.caps;
  ASSERT_EQ(frame.bytes.size(), size_t(kWidth) * kHeight * 4);
  double worst = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) worst = std::fmax(worst, std::fabs(frame.Float(x, y) - e2e::Depth(x, y)));
  EXPECT_LT(worst, 0.002);
}

// Records acquisitions straight through the library, as an application would.
std::vector<uint32_t> Record(const std::string& path, int count) {
  std::vector<uint32_t> counters;
  QV_Handle handle = nullptr;
  if (QV_Open(&handle, QV_OPEN_USB, "sys=k7cam_tq20") != 1) return counters;
  _RegDesc* desc = QV_GetRegDesc(handle);
  for (uint16_t i = 0; i < desc->mapCount; ++i) {
    std::string name = desc->maps[i].id ? desc->maps[i].id : "";
    if (name == "CamMode") QV_SetMap(handle, &desc->maps[i], 4);
    if (name == "SensNFrames") QV_SetMap(handle, &desc->maps[i], 32);
  }
  if (QV_CreateStreamFile(handle, path.c_str()) >= 0) {
    for (int i = 0; i < count && QV_Acquire(handle) > 0; ++i) {
      CamDataHdr header;
      std::memcpy(&header, QV_GetCamData(handle, 0, 0, nullptr)->data, sizeof header);
      counters.push_back(header.nVolume);
    }
  }
  QV_Close(handle);
  return counters;
}

TEST_F(OrvexSrcTest, ReplayDeliversTheRecordingThenEndOfStream) {
  std::string path = ::testing::TempDir() + "orvexsrc-replay-" + std::to_string(getpid()) + ".pvs";
  std::vector<uint32_t> counters = Record(path, 4);
  ASSERT_EQ(counters.size(), 4u);
  Pipeline p("orvexsrc replay=\"" + path + "\" ! appsink name=out sync=false");
  ASSERT_TRUE(p.ok());
  ASSERT_NE(p.Play(), GST_STATE_CHANGE_FAILURE);
  for (uint32_t counter : counters) {
    Frame frame;
    ASSERT_TRUE(p.Pull("out", &frame)) << p.WaitForErrorOrEos(0);
    EXPECT_EQ(frame.offset, counter);
    ExpectSceneWords(frame, 32, true);
  }
  Frame extra;
  EXPECT_FALSE(p.Pull("out", &extra, 5 * GST_SECOND));
  EXPECT_EQ(p.WaitForErrorOrEos(5 * GST_SECOND), "EOS");
  std::remove(path.c_str());
}

TEST_F(OrvexSrcTest, SerialPicksTheCamera) {
  // The second camera counts its acquisitions from 5000, so its frames are recognisable.
  Configure("fpga = configured\ncameras = 2\n[camera 1]\nserial = K7-0815\nacquisitions = 5000\n");
  Pipeline p(Source(kA16Z16, "serial=K7-0815") + " ! appsink name=out sync=false");
  ASSERT_NE(p.Play(), GST_STATE_CHANGE_FAILURE);
  Frame frame;
  ASSERT_TRUE(p.Pull("out", &frame)) << p.WaitForErrorOrEos(0);
  EXPECT_GE(frame.offset, 5000u);
  Pipeline unknown(Source(kA16Z16, "serial=K7-0816") + " ! fakesink");
  EXPECT_EQ(unknown.Play(), GST_STATE_CHANGE_FAILURE);
  EXPECT_NE(unknown.WaitForErrorOrEos(5 * GST_SECOND).find("No camera"), std::string::npos);
}

TEST_F(OrvexSrcTest, MissingOrUnpluggedCameraStopsThePipelineWithAnError) {
  Configure("cameras = 0\n");
  {
    Pipeline p(Source(kA16Z16) + " ! fakesink");
    EXPECT_EQ(p.Play(), GST_STATE_CHANGE_FAILURE);
    EXPECT_NE(p.WaitForErrorOrEos(5 * GST_SECOND).find("No camera"), std::string::npos);
  }
  // Opening takes some hundred transfers; the cable is pulled while frames flow.
  Configure("fpga = configured\nunplug = 300+1\n");
  Pipeline p(Source(kA16Z16) + " ! fakesink sync=false");
  ASSERT_NE(p.Play(), GST_STATE_CHANGE_FAILURE);
  auto begin = std::chrono::steady_clock::now();
  std::string error = p.WaitForErrorOrEos(30 * GST_SECOND);
  EXPECT_NE(error.find("Could not read from the camera"), std::string::npos) << error;
  EXPECT_NE(error.find("-19"), std::string::npos) << error;
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(20));
}

TEST_F(OrvexSrcTest, SettingChangeWhilePlayingRenegotiatesTheShape) {
  Pipeline p(Source("CamMode=A16 SensNFrames=4", "output=raw") + " ! appsink name=out sync=false");
  ASSERT_TRUE(p.ok());
  ASSERT_NE(p.Play(), GST_STATE_CHANGE_FAILURE);
  Frame frame;
  ASSERT_TRUE(p.Pull("out", &frame)) << p.WaitForErrorOrEos(0);
  EXPECT_EQ(frame.width, 282);
  EXPECT_EQ(frame.height, 292 * 4);
  g_object_set(p.element("src"), "settings", "SensNFrames=8", nullptr);
  bool renegotiated = false;
  for (int i = 0; i < 10 && !renegotiated; ++i) {
    ASSERT_TRUE(p.Pull("out", &frame)) << p.WaitForErrorOrEos(0);
    renegotiated = frame.height == 292 * 8;
  }
  EXPECT_TRUE(renegotiated) << frame.caps;
  EXPECT_EQ(frame.bytes.size(), size_t(282) * 2 * 292 * 8);
  // The state change returns without waiting for the camera.
  auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(p.Stop(), GST_STATE_CHANGE_SUCCESS);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
}

TEST_F(OrvexSrcTest, LoopbackNetworkStreamDeliversTheFramesItSent) {
  Pipeline receiver(
      "udpsrc name=in address=127.0.0.1 port=0 buffer-size=8388608 "
      "caps=\"application/x-rtp,media=application,clock-rate=90000,encoding-name=X-GST\" "
      "! rtpgstdepay ! appsink name=out sync=false");
  ASSERT_TRUE(receiver.ok());
  ASSERT_NE(receiver.Play(), GST_STATE_CHANGE_FAILURE);
  int port = 0;
  g_object_get(receiver.element("in"), "port", &port, nullptr);
  ASSERT_GT(port, 0);
  constexpr int kFrames = 5;
  Pipeline sender(Source(kA16Z16, "num-buffers=" + std::to_string(kFrames)) +
                  " ! tee name=t t. ! queue ! appsink name=sent sync=false "
                  "t. ! queue ! rtpgstpay config-interval=1 ! udpsink host=127.0.0.1 sync=false port=" +
                  std::to_string(port));
  ASSERT_TRUE(sender.ok());
  ASSERT_NE(sender.Play(), GST_STATE_CHANGE_FAILURE);
  for (int i = 0; i < kFrames; ++i) {
    Frame sent, received;
    ASSERT_TRUE(sender.Pull("sent", &sent)) << sender.WaitForErrorOrEos(0);
    ASSERT_TRUE(receiver.Pull("out", &received, 10 * GST_SECOND)) << "frame " << i;
    EXPECT_EQ(received.caps, sent.caps);
    EXPECT_TRUE(received.bytes == sent.bytes) << "frame " << i;
  }
}

}  // namespace
