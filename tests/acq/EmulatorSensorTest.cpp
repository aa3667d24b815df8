// The emulator's sensor, driven through the emulator's own libusb-0.1 surface:
// acquisition sizes agree with the library's size computation, the frame
// header is valid and the data carry the documented scene.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <usb.h>

#include <cmath>
#include <string>
#include <vector>

#include "acq/DataMode.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The emulator library, loaded by path so that a real libusb is never taken.
struct Emulator {
  void* lib = nullptr;
  int (*configure)(const char*, char*, size_t) = nullptr;
  int (*setRegister)(int, uint8_t, uint8_t) = nullptr;
  void (*init)() = nullptr;
  int (*findBusses)() = nullptr;
  int (*findDevices)() = nullptr;
  usb_bus* (*getBusses)() = nullptr;
  usb_dev_handle* (*open)(struct usb_device*) = nullptr;
  int (*close)(usb_dev_handle*) = nullptr;
  int (*bulkRead)(usb_dev_handle*, int, char*, int, int) = nullptr;

  template <class F>
  void Bind(F& fn, const char* name) {
    fn = reinterpret_cast<F>(dlsym(lib, name));
  }
  bool Load() {
    lib = dlopen(ORVEX_EMULATOR_DIR "/libusb-0.1.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    Bind(configure, "orvex_emu_configure");
    Bind(setRegister, "orvex_emu_set_register");
    Bind(init, "usb_init");
    Bind(findBusses, "usb_find_busses");
    Bind(findDevices, "usb_find_devices");
    Bind(getBusses, "usb_get_busses");
    Bind(open, "usb_open");
    Bind(close, "usb_close");
    Bind(bulkRead, "usb_bulk_read");
    return configure && setRegister && init && findBusses && findDevices && getBusses && open && close && bulkRead;
  }
};

class EmulatorSensorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!emu.Load()) GTEST_SKIP() << "emulator not built";
    Configure("fpga = configured\nregister = 2:4\n");
  }
  void TearDown() override {
    if (device) emu.close(device);
    if (emu.configure) emu.configure(nullptr, nullptr, 0);
  }

  void Configure(const std::string& text) {
    if (device) emu.close(device);
    device = nullptr;
    char error[256] = {};
    ASSERT_EQ(emu.configure(text.c_str(), error, sizeof error), 0) << error;
    emu.init();
    emu.findBusses();
    emu.findDevices();
    for (usb_bus* bus = emu.getBusses(); bus && !device; bus = bus->next)
      for (struct usb_device* dev = bus->devices; dev && !device; dev = dev->next) device = emu.open(dev);
    ASSERT_NE(device, nullptr);
  }

  void Set(uint8_t address, uint8_t value) { emu.setRegister(0, address, value); }

  Bytes Read(size_t ask = 8 << 20) {
    Bytes buffer(ask);
    int n = emu.bulkRead(device, 0x82, reinterpret_cast<char*>(buffer.data()), int(ask), 1000);
    buffer.resize(n > 0 ? size_t(n) : 0);
    return buffer;
  }

  Emulator emu;
  usb_dev_handle* device = nullptr;
};

uint32_t Word(const Bytes& b, size_t byteOffset) { return b[byteOffset] | uint32_t{b[byteOffset + 1]} << 8; }

bool OnStep(unsigned x, unsigned y) { return x >= 96 && x < 192 && y >= 96 && y < 192; }
uint32_t Depth32(unsigned x, unsigned y) { return 256 + x + y / 2 + (OnStep(x, y) ? 128 : 0); }
uint32_t Amplitude(unsigned x, unsigned y) { return OnStep(x, y) ? 1000 : 500; }
double FrameAmplitude(unsigned x, unsigned y, double f) {
  double energy = 1.0 - std::fabs(f - Depth32(x, y) / 32.0) / 2.0;
  return energy > 0 ? Amplitude(x, y) * std::sqrt(energy) : 0.0;
}

TEST_F(EmulatorSensorTest, EveryModeDeliversTheSizeTheLibraryComputes) {
  struct Case {
    uint8_t camMode;  // with Comp11to8 in bit 3
    uint8_t frames, dark, hwin;
  };
  for (Case c : {Case{0, 10, 0, 0}, Case{0, 16, 0, 0}, Case{1, 3, 0, 0}, Case{9, 3, 0, 0}, Case{3, 12, 4, 0},
                 Case{4, 5, 0, 0}, Case{7, 1, 0, 0}, Case{5, 1, 0, 15}, Case{5, 1, 0, 0}, Case{6, 4, 0, 0}}) {
    SCOPED_TRACE(int(c.camMode));
    Set(0x03, c.camMode);
    Set(0x10, c.frames);
    Set(0x12, c.dark);
    Set(0x1D, c.hwin);
    uint32_t camMode = c.camMode & 7;
    uint32_t mode = camMode == 0 ? 1 : camMode <= 2 ? ((c.camMode & 8) ? 4 : 3) : camMode == 3 ? 7
                  : camMode == 4 || camMode == 7 ? 5 : camMode == 5 ? 6 : 0;
    orvex::AcqParams params{c.frames, c.dark, std::min<uint32_t>(c.hwin, 10)};
    uint32_t expected = orvex::ComputeDataSize(params, mode, orvex::RawAcquisitionFlags(mode), nullptr);
    EXPECT_EQ(Read().size(), expected);
  }
}

TEST_F(EmulatorSensorTest, TheHeaderCarriesWrappingZTagsAndCounts) {
  Set(0x03, 4);
  Set(0x10, 5);
  Bytes first = Read(), second = Read();
  ASSERT_EQ(first.size(), 329216u);
  EXPECT_EQ(Word(first, 2), 0x5AA5u);
  const std::vector<uint32_t> zTags = {65000, 65250, 65500, 214, 464};
  for (size_t i = 0; i < zTags.size(); ++i) EXPECT_EQ(Word(first, 32 + 2 * i), zTags[i]) << i;
  EXPECT_EQ(Word(first, 32 + 10), 0u) << "no sample beyond nFrames";
  EXPECT_EQ(Word(first, 2040), 5u);
  EXPECT_EQ(Word(first, 2020) | Word(first, 2022) << 16, 70000u);
  EXPECT_EQ(Word(second, 2044), Word(first, 2044) + 1) << "nVolume counts acquisitions";
  uint64_t t1 = 0, t2 = 0;
  for (int i = 7; i >= 0; --i) t1 = t1 << 8 | first[2032 + i], t2 = t2 << 8 | second[2032 + i];
  EXPECT_GT(t2, t1);
}

TEST_F(EmulatorSensorTest, A16Z16DataAreTheSceneGroundTruth) {
  Set(0x03, 7);
  Bytes raw = Read();
  ASSERT_EQ(raw.size(), 329216u);
  for (auto [x, y] : std::vector<std::pair<unsigned, unsigned>>{{0, 0}, {279, 291}, {100, 100}, {95, 150}, {191, 191}}) {
    size_t at = 2048 + 4 * (y * 280 + x);
    EXPECT_EQ(Word(raw, at), 16 * Amplitude(x, y)) << x << "," << y;
    EXPECT_EQ(Word(raw, at + 2), Depth32(x, y)) << x << "," << y;
  }
  EXPECT_EQ(raw.back(), 0) << "padding is zero";
}

TEST_F(EmulatorSensorTest, StackedFramesOfAGroupLieSideBySide) {
  Set(0x03, 1);  // A16, 282 x 292, one u16 per pixel
  Set(0x10, 20);
  Bytes raw = Read();
  ASSERT_EQ(raw.size(), (20u * 164688 + 2048 + 512) & ~511u);
  const uint32_t frames = 20;
  // Pixel (x, y), frame f sits at row y, group x / 3, frame f, element x % 3.
  for (auto [x, y, f] : std::vector<std::tuple<unsigned, unsigned, unsigned>>{{0, 0, 8}, {5, 2, 7}, {281, 291, 15}, {20, 40, 9}, {150, 150, 18}}) {
    size_t element = ((size_t(y) * 94 + x / 3) * frames + f) * 3 + x % 3;
    EXPECT_EQ(Word(raw, 2048 + 2 * element), uint32_t(std::lround(16 * FrameAmplitude(x, y, f)))) << x << "," << y;
  }
}

TEST_F(EmulatorSensorTest, WindowSamplesCentreOnTheSurface) {
  Set(0x03, 5);
  Set(0x1D, 2);  // W = 5
  Bytes raw = Read();
  ASSERT_EQ(raw.size(), (5u * 327040 + 163520 + 2048 + 512) & ~511u);
  // Walk row 150 as processing does and check pixel 130 (on the step).
  const unsigned w = 5, h = 2, y = 150;
  size_t at = 2048 + size_t(y) * (560 + 1120 * w);
  unsigned x0 = 0;
  while (x0 < 280) {
    unsigned n = (x0 == 0 || x0 == 278) ? 2 : 3;
    for (unsigned p = 0; p < n; ++p) {
      unsigned x = x0 + p;
      uint32_t start = Word(raw, at + 2 * p);
      EXPECT_EQ(start, (Depth32(x, y) + 16) / 32 * 32) << x;
      double weighted = 0, energy = 0;
      for (unsigned k = 0; k < w; ++k) {
        double a = Word(raw, at + 2 * n + 4 * (k * n + p)) / 16.0;
        EXPECT_EQ(Word(raw, at + 2 * n + 4 * (k * n + p) + 2), 25736u);
        weighted += (double(k) - h) * a * a;
        energy += a * a;
      }
      double surface = start / 32.0 + weighted / energy;
      EXPECT_NEAR(surface, Depth32(x, y) / 32.0, 0.002) << x;
    }
    at += 2 * n + 4 * n * w;
    x0 += n;
  }
}

TEST_F(EmulatorSensorTest, AHeldSensorOrAMissingTriggerSendsNothing) {
  Set(0x03, 4);
  Set(0x02, 0x05);  // AcqStop while free running
  EXPECT_TRUE(Read().empty());
  Set(0x02, 0x00);  // waiting for the external trigger, which pulses by default
  EXPECT_EQ(Read().size(), 329216u);
  Configure("fpga = configured\nscene = step trigger=off\nregister = 3:4\n");
  EXPECT_TRUE(Read().empty());
  Set(0x02, 0x04);
  EXPECT_EQ(Read().size(), 329216u);
  EXPECT_EQ(Read(1000).size(), 1000u) << "a shorter request gets what it asked for";
}

}  // namespace
