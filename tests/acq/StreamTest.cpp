#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "AcqFixture.h"
#include "acq/QVFileIO.h"
#include "acq/StreamOpen.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"
#include "common/RecordingDesktop.h"
#include "common/TempDataFolder.h"

using namespace acq_test;
using orvex_test::CallbackRecorder;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kS = 329216;  // one A16Z16 acquisition, header and padding included
const std::string kOpenString = "sys=acqtest";

class StreamTest : public ::testing::Test {
 protected:
  void TearDown() override { orvex::CloseAllSystems(); }

  // Records three acquisitions with a register write and an application
  // object in between; keeps the acquired bytes.
  std::string Record(std::vector<Bytes>& acquired, bool extras = true) {
    std::string path = folder.ScratchPath("three.qv");
    QV_Handle h = OpenTestSystem();
    SetMode(h, 4);
    h->camera->SetReg(kRegHwin, 3);
    EXPECT_EQ(QV_CreateStreamFile(h, path.c_str()), 0);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
      _CamData* record = QV_GetCamData(h, 0, 0, nullptr);
      auto* data = static_cast<uint8_t*>(record->data);
      acquired.emplace_back(data, data + kS);
      if (extras && i == 0) h->camera->SetReg(kRegPlain, 0x5A);
      if (extras && i == 1) {
        char note[] = "note";
        QV_StreamObject object{77, 4, note};
        EXPECT_EQ(QV_FileStreamCmd(h, 6, 0, &object), 12);
      }
    }
    EXPECT_EQ(QV_CreateStreamFile(h, nullptr), 0);
    QV_Close(h);
    return path;
  }

  QV_Handle Replay(const std::string& path) { return orvex::OpenSystemOnStream(path.c_str(), &BuildTestSystem); }

  static Bytes Slot0(QV_Handle h) {
    _CamData* record = QV_GetCamData(h, 0, 0, nullptr);
    auto* data = static_cast<uint8_t*>(record->data);
    return Bytes(data, data + kS);
  }

  orvex_test::TempDataFolder folder;
  orvex_test::ScopedRecordingDesktop desktop;
};

TEST_F(StreamTest, ARecordingHasExactlyTheDescribedLength) {
  std::vector<Bytes> acquired;
  std::string path = Record(acquired);
  const size_t L = kOpenString.size(), R = 5;
  Bytes file = ReadFileBytes(path);
  EXPECT_EQ(file.size(), 8 + (12 + L) + (8 + 2 * R) + 3 * (8 + kS) + 10 + (8 + 4));
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), (Bytes{'q', 'v', 'I', 'O', 1, 0, 0, 0}));
  EXPECT_EQ(std::string(file.begin() + 20, file.begin() + 20 + L), kOpenString);
  // The snapshot holds every described register in order, with its value.
  const uint8_t* snapshot = file.data() + 20 + L;
  EXPECT_EQ(snapshot[0], 2);
  EXPECT_EQ(snapshot[4], 8 + 2 * R);
  EXPECT_EQ(Bytes(snapshot + 8, snapshot + 18), (Bytes{0, 4, 1, 1, 2, 2, 3, 3, 7, 0}));
  // The register write follows the first acquisition.
  const uint8_t* write = snapshot + 18 + 8 + kS;
  EXPECT_EQ(Bytes(write, write + 10), (Bytes{2, 0, 0, 0, 10, 0, 0, 0, 7, 0x5A}));
  EXPECT_EQ(Bytes(snapshot + 26, snapshot + 26 + kS), acquired[0]) << "payloads are the raw acquisitions";
  EXPECT_EQ(Bytes(write + 18, write + 18 + kS), acquired[1]);
}

TEST_F(StreamTest, ReplayReturnsTheSameBytesEndsAndStartsOver) {
  std::vector<Bytes> acquired;
  std::string path = Record(acquired);
  CallbackRecorder recorder(true);  // the default callback restarts replay
  QV_Handle h = Replay(path);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->camera->interfaceKind, 3u);
  EXPECT_EQ(h->camera->regImage[kRegMode], 4) << "registers come from the snapshot";
  EXPECT_EQ(h->camera->regImage[kRegHwin], 3);
  EXPECT_EQ(h->camera->regImage[kRegPlain], 0) << "recorded writes are not applied";
  EXPECT_EQ(QV_FileStreamCmd(h, 5, 0, nullptr), 0);
  for (int i = 0; i < 3; ++i) {
    recorder.clear();
    ASSERT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
    EXPECT_EQ(Slot0(h), acquired[i]) << i;
    EXPECT_TRUE(recorder.contains(2, (uint32_t(i) << 16) | 2, "")) << i;
    if (i == 1) {
      EXPECT_TRUE(recorder.contains(1, 0x702, "CPelCam::ReadData(): skipping object!"));
      EXPECT_EQ(QV_FileStreamCmd(h, 5, 0, nullptr), 2);
    }
  }
  recorder.clear();
  EXPECT_EQ(QV_Acquire(h), -2);
  EXPECT_TRUE(recorder.contains(2, (2u << 16) | 1, ""));
  EXPECT_TRUE(recorder.contains(1, 0x702, "CPelCam::ReadData(): CQVFileIO::IO_EOF!"));
  EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
  EXPECT_EQ(Slot0(h), acquired[0]);
  EXPECT_EQ(QV_SetTimeout(h, 5), 0);
  EXPECT_EQ(QV_CleanUSB(h), 1);
}

TEST_F(StreamTest, WithoutTheDefaultCallbackReplayStaysAtTheEnd) {
  std::vector<Bytes> acquired;
  std::string path = Record(acquired, false);
  CallbackRecorder recorder;
  QV_Handle h = Replay(path);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
  EXPECT_EQ(QV_Acquire(h), -2);
  EXPECT_EQ(QV_Acquire(h), -2);
}

TEST_F(StreamTest, SeekingByAcquisitionNumber) {
  std::vector<Bytes> acquired;
  std::string path = Record(acquired);
  CallbackRecorder recorder;
  QV_Handle h = Replay(path);
  EXPECT_EQ(QV_FileStreamCmd(h, 3, 10, nullptr), 3) << "the file ends first";
  EXPECT_EQ(QV_Acquire(h), -2);

  QV_Close(h);
  h = Replay(path);
  for (int i = 0; i < 3; ++i) QV_Acquire(h);
  EXPECT_EQ(QV_FileStreamCmd(h, 3, 1, nullptr), 1);
  recorder.clear();
  EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
  EXPECT_EQ(Slot0(h), acquired[1]);
  EXPECT_TRUE(recorder.contains(2, (1u << 16) | 2, "")) << "the counter is 1";
  EXPECT_EQ(QV_FileStreamCmd(h, 5, 0, nullptr), 3);

  // A forward seek past the index after a backward one counts nothing twice.
  QV_Close(h);
  h = Replay(path);
  ASSERT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
  EXPECT_EQ(QV_FileStreamCmd(h, 3, 0, nullptr), 0);
  EXPECT_EQ(QV_FileStreamCmd(h, 3, 2, nullptr), 2);
  EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
  EXPECT_EQ(Slot0(h), acquired[2]);
  EXPECT_EQ(QV_FileStreamCmd(h, 5, 0, nullptr), 3);
}

TEST_F(StreamTest, PeekReadAndSkipObjects) {
  std::vector<Bytes> acquired;
  std::string path = Record(acquired);
  QV_Handle h = Replay(path);
  QV_StreamObject peek{};
  EXPECT_EQ(QV_FileStreamCmd(h, 7, 0, &peek), 0);
  EXPECT_EQ(peek.type, 3u);
  EXPECT_EQ(peek.size, kS);

  // Another type: nothing moves.
  QV_StreamObject wrong{2, 2, nullptr};
  EXPECT_EQ(QV_FileStreamCmd(h, 8, 0, &wrong), -1);
  QV_StreamObject again{};
  EXPECT_EQ(QV_FileStreamCmd(h, 7, 0, &again), 0);
  EXPECT_EQ(again.type, 3u);

  // Peek then skip steps over exactly one object: the register write is next.
  EXPECT_EQ(QV_FileStreamCmd(h, 9, 0, nullptr), 0);
  EXPECT_EQ(QV_FileStreamCmd(h, 7, 0, &peek), 0);
  EXPECT_EQ(peek.type, 2u);
  EXPECT_EQ(peek.size, 2u);
  uint8_t pair[2] = {};
  QV_StreamObject write{2, 2, pair};
  EXPECT_EQ(QV_FileStreamCmd(h, 8, 0, &write), 2);
  EXPECT_EQ(pair[0], kRegPlain);
  EXPECT_EQ(pair[1], 0x5A);

  // A wrong size is refused before anything is read.
  Bytes payload(kS);
  QV_StreamObject shortAcq{3, 16, payload.data()};
  EXPECT_EQ(QV_FileStreamCmd(h, 8, 0, &shortAcq), -2);
  QV_StreamObject acq{3, kS, payload.data()};
  EXPECT_EQ(QV_FileStreamCmd(h, 8, 0, &acq), static_cast<int32_t>(kS));
  EXPECT_EQ(payload, acquired[1]);
  EXPECT_EQ(QV_FileStreamCmd(h, 9, 0, nullptr), 0);  // the application object
  EXPECT_EQ(QV_FileStreamCmd(h, 9, 0, nullptr), 0);  // the last acquisition
  EXPECT_EQ(QV_FileStreamCmd(h, 9, 0, nullptr), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 7, 0, &peek), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 8, 0, &acq), -2);
  EXPECT_EQ(QV_FileStreamCmd(h, 5, 0, nullptr), 3);
}

TEST_F(StreamTest, CommandsWithoutTheirStream) {
  QV_Handle h = OpenTestSystem();
  QV_StreamObject object{5, 0, nullptr};
  int fd = 123;
  EXPECT_EQ(QV_FileStreamCmd(h, 1, 0, nullptr), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 2, 0, nullptr), 0);
  EXPECT_EQ(QV_FileStreamCmd(h, 4, 0, nullptr), 0);
  EXPECT_EQ(QV_FileStreamCmd(h, 3, 0, nullptr), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 5, 0, nullptr), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 6, 0, &object), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 7, 0, &object), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 8, 0, &object), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 9, 0, nullptr), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 10, 0, &fd), -1);
  EXPECT_EQ(fd, -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 11, 0, &fd), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 12, 0, nullptr), -1);
  EXPECT_EQ(QV_FileStreamCmd(h, 0, 0, const_cast<char*>("/nonexistent/dir/x.qv")), -4);
  EXPECT_EQ(QV_FileStreamCmd(h, 0, 0, nullptr), -4);

  std::string path = folder.ScratchPath("handles.qv");
  ASSERT_EQ(QV_FileStreamCmd(h, 0, 0, const_cast<char*>(path.c_str())), 0);
  EXPECT_EQ(QV_FileStreamCmd(h, 11, 0, &fd), 0);
  EXPECT_GE(fd, 0);
}

TEST_F(StreamTest, TheReplayedFileCannotBeRecordedOver) {
  std::vector<Bytes> acquired;
  std::string path = Record(acquired, false);
  size_t length = ReadFileBytes(path).size();
  QV_Handle h = Replay(path);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(QV_CreateStreamFile(h, path.c_str()), -4);
  EXPECT_EQ(ReadFileBytes(path).size(), length);
  EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
  // Recording a replay into another file is fine.
  std::string copy = folder.ScratchPath("copy.qv");
  ASSERT_EQ(QV_CreateStreamFile(h, copy.c_str()), 0);
  EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
  ASSERT_EQ(QV_CreateStreamFile(h, nullptr), 0);
  EXPECT_EQ(ReadFileBytes(copy).size(), 8 + 12 + kOpenString.size() + 8 + 10 + 8 + kS);
}

TEST_F(StreamTest, ARecordingOverALongerFileCutsItsTail) {
  std::string path = folder.ScratchPath("old.qv");
  WriteFileBytes(path, Bytes(100000, 0x77));
  QV_Handle h = OpenTestSystem();
  ASSERT_EQ(QV_CreateStreamFile(h, path.c_str()), 0);
  ASSERT_EQ(QV_CreateStreamFile(h, nullptr), 0);
  EXPECT_EQ(ReadFileBytes(path).size(), 8 + 12 + kOpenString.size() + 8 + 10);
}

// Corrupted and truncated files fail cleanly.

TEST_F(StreamTest, SignatureAndMandatoryObjectsAreChecked) {
  std::vector<Bytes> acquired;
  Bytes good = ReadFileBytes(Record(acquired, false));
  std::string path = folder.ScratchPath("bad.qv");
  struct Case {
    const char* what;
    Bytes bytes;
    const char* message;
  };
  Bytes version2 = good;
  version2[4] = 2;
  Bytes badMagic = good;
  badMagic[0] = 'Q';
  Bytes noInit = good;
  noInit[8] = 2;
  Bytes hugeInit = good;
  hugeInit[12 + 3] = 0x7F;
  Bytes noSnapshot = good;
  noSnapshot[20 + kOpenString.size()] = 3;
  const std::vector<Case> cases = {
      {"version 2", version2, "CPelCam::SetInterfaceStream(): Stream has wrong signature"},
      {"magic", badMagic, "CPelCam::SetInterfaceStream(): Stream has wrong signature"},
      {"empty", Bytes{}, "CPelCam::SetInterfaceStream(): Stream has wrong signature"},
      {"header only", Bytes(good.begin(), good.begin() + 8), "CPelCam::SetInterfaceStream(): Missing mandatory FOID_InitV0x0001"},
      {"init type", noInit, "CPelCam::SetInterfaceStream(): Missing mandatory FOID_InitV0x0001"},
      {"init size", hugeInit, "CPelCam::SetInterfaceStream(): Missing mandatory FOID_InitV0x0001"},
      {"cut in init", Bytes(good.begin(), good.begin() + 22), "CPelCam::SetInterfaceStream(): Missing mandatory FOID_InitV0x0001"},
      {"no snapshot", noSnapshot, "CPelCam::SetInterfaceStream(): Missing mandatory FPGAConfigV0x0001"},
      {"cut in snapshot", Bytes(good.begin(), good.begin() + 20 + kOpenString.size() + 12),
       "CPelCam::SetInterfaceStream(): Missing mandatory FPGAConfigV0x0001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(path, c.bytes);
    CallbackRecorder recorder;
    size_t before = orvex::OpenSystemCount();
    EXPECT_EQ(Replay(path), nullptr);
    EXPECT_TRUE(recorder.contains(1, 0x402, c.message));
    EXPECT_EQ(orvex::OpenSystemCount(), before) << "nothing of the system remains";
  }
  CallbackRecorder recorder;
  EXPECT_EQ(Replay(folder.ScratchPath("missing.qv")), nullptr);
}

TEST_F(StreamTest, TruncatedAndCorruptObjectsEndTheReplay) {
  std::vector<Bytes> acquired;
  Bytes good = ReadFileBytes(Record(acquired));
  const size_t firstAcq = 20 + kOpenString.size() + 18;
  std::string path = folder.ScratchPath("cut.qv");

  // Cut inside the second acquisition: one good read, then a short read
  // closes the stream and every later read ends at once.
  WriteFileBytes(path, Bytes(good.begin(), good.begin() + firstAcq + 8 + kS + 10 + 100));
  CallbackRecorder recorder(true);
  QV_Handle h = Replay(path);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
  EXPECT_EQ(QV_Acquire(h), -4);
  EXPECT_TRUE(recorder.contains(1, 0x702, "CPelCam::ReadData(): read object data failed!"));
  EXPECT_EQ(QV_Acquire(h), -2);
  EXPECT_EQ(QV_Acquire(h), -2);
  EXPECT_EQ(QV_FileStreamCmd(h, 3, 0, nullptr), -1);
  QV_Close(h);

  // A skipped object that claims to be smaller than its header or to run past
  // the end stops the read instead of looping or reading beyond the file.
  for (uint32_t size : {0u, 7u, 0x7FFFFFF0u}) {
    SCOPED_TRACE(size);
    Bytes bad = good;
    const size_t write = firstAcq + 8 + kS;
    for (int i = 0; i < 4; ++i) bad[write + 4 + i] = static_cast<uint8_t>(size >> (8 * i));
    WriteFileBytes(path, bad);
    recorder.clear();
    h = Replay(path);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
    EXPECT_EQ(QV_Acquire(h), -4);
    EXPECT_EQ(QV_Acquire(h), -2);
    QV_StreamObject peek{};
    EXPECT_EQ(QV_FileStreamCmd(h, 7, 0, &peek), -1);
    QV_Close(h);
  }

  // An acquisition of another size fails with -3 and is stepped over.
  h = Replay(folder.ScratchPath("three.qv"));
  ASSERT_NE(h, nullptr);
  SetMode(h, 4);
  SetFrames(h, 1);
  SetMode(h, 0);  // IQ16, 1 frame: another size than the recorded A16Z16
  recorder.clear();
  EXPECT_EQ(QV_Acquire(h), -3);
  EXPECT_TRUE(recorder.contains(1, 0x702, "CPelCam::ReadData(): read object data failed!"));
  SetMode(h, 4);
  EXPECT_EQ(QV_Acquire(h), static_cast<int32_t>(kS));
  EXPECT_EQ(Slot0(h), acquired[1]);
}

}  // namespace
