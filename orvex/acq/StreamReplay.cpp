#include "acq/StreamReplay.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "acq/ReplayRestart.h"
#include "acq/StreamBytes.h"
#include "core/Messages.h"
#include "core/PelCam.h"

namespace orvex {
namespace {

// An open string longer than this is no open string but a corrupt init object.
constexpr uint32_t kMaxOpenStringBytes = 64 * 1024;
const uint32_t kMsgFormat = QV_MSG_VALUE(QV_CAT_PROTOCOL, QV_LEVEL_WARNING);

bool HasSignature(CQVFileIO& file) {
  uint8_t raw[kFileHeaderBytes];
  return file.Read(raw, sizeof raw) == static_cast<int64_t>(sizeof raw) && std::memcmp(raw, "qvIO", 4) == 0 &&
         GetU32(raw + 4) == kStreamVersion;
}

// The init object's open string; false (file positioned back) when missing.
bool ReadInitObject(CQVFileIO& file, std::string& openString) {
  int64_t position = file.Position();
  uint8_t raw[kInitHeaderBytes];
  int64_t n = file.Read(raw, sizeof raw);
  ObjectHeader header = n == static_cast<int64_t>(sizeof raw) ? DecodeObjectHeader(raw) : ObjectHeader{};
  bool valid = header.type == FOID_InitV0x0001 && header.size >= kInitHeaderBytes &&
               header.size - kInitHeaderBytes <= kMaxOpenStringBytes &&
               file.ObjectFits(header, static_cast<uint64_t>(position));
  if (!valid) {
    if (n > 0) file.SeekTo(static_cast<uint64_t>(position));
    return false;
  }
  file.AddToIndex(header.type, static_cast<uint64_t>(position), header.size);
  std::string text(header.size - kInitHeaderBytes, '\0');
  if (file.ReadPayload(text.data(), text.size()) < 0) return false;
  // The string ends at its first zero, as the terminating zero added to it does.
  openString.assign(text.c_str());
  return true;
}

bool LoadRegisterSnapshot(CQVFileIO& file, CPelCam& camera) {
  int64_t position = file.Position();
  ObjectHeader header;
  if (!file.PeekHeader(header) || header.type != FPGAConfigV0x0001) return false;
  file.SeekTo(static_cast<uint64_t>(position) + kObjectHeaderBytes);
  file.AddToIndex(header.type, static_cast<uint64_t>(position), header.size);
  std::vector<uint8_t> pairs(header.size - kObjectHeaderBytes);
  if (file.ReadPayload(pairs.data(), pairs.size()) < 0) return false;
  for (size_t i = 0; i + 1 < pairs.size(); i += 2)
    if (pairs[i] < camera.regImage.size()) camera.regImage[pairs[i]] = pairs[i + 1];
  return true;
}

uint32_t StreamEvent(const CQVFileIO* file, uint32_t event) {
  uint32_t counter = file ? static_cast<uint32_t>(file->acquisitionCounter) : 0xFFFFu;
  return (counter & 0xFFFFu) << 16 | event;
}

int32_t EndOfStream(CPelCam& camera) {
  Notify(camera.Handle(), QV_MSG_STREAM, StreamEvent(camera.replay.get(), QV_STREAM_EOF), nullptr);
  return -2;
}

int32_t ObjectFailed(CPelCam& camera, int32_t code) {
  Notify(camera.Handle(), QV_MSG_TEXT, kMsgDataWarning, "CPelCam::ReadData(): read object data failed!");
  return code;
}

}  // namespace

std::unique_ptr<CQVFileIO> OpenReplayStream(const char* path, std::string& openString) {
  auto file = std::make_unique<CQVFileIO>();
  file->acquisitionCounter = -1;
  if (!file->OpenForReading(path)) {
    ReportText(nullptr, kMsgFormat, "CPelCam::SetInterfaceStream(): cannot open stream file %s: %s",
               path ? path : "(none)", path ? std::strerror(errno) : "no path given");
    return nullptr;
  }
  if (!HasSignature(*file)) {
    Notify(nullptr, QV_MSG_TEXT, kMsgFormat, "CPelCam::SetInterfaceStream(): Stream has wrong signature");
    return nullptr;
  }
  if (!ReadInitObject(*file, openString)) {
    Notify(nullptr, QV_MSG_TEXT, kMsgFormat, "CPelCam::SetInterfaceStream(): Missing mandatory FOID_InitV0x0001");
    return nullptr;
  }
  return file;
}

int32_t ConnectStream(CPelCam& camera, std::unique_ptr<CQVFileIO> stream) {
  if (!stream || !LoadRegisterSnapshot(*stream, camera)) {
    Notify(nullptr, QV_MSG_TEXT, kMsgFormat, "CPelCam::SetInterfaceStream(): Missing mandatory FPGAConfigV0x0001");
    return -2;
  }
  camera.replay = std::move(stream);
  camera.interfaceKind = kReplayStream;
  SetStreamEndHandler(&RestartReplayFromBeginning);
  return 0;
}

int32_t ReadNextAcquisition(CPelCam& camera, void* buffer, uint32_t size) {
  CQVFileIO* file = camera.replay.get();
  // A stream closed by a short read stays at its end.
  if (!file || !file->IsReading()) return EndOfStream(camera);
  for (;;) {
    int64_t position = file->Position();
    uint8_t raw[kObjectHeaderBytes];
    if (position < 0 || file->Read(raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) return EndOfStream(camera);
    ObjectHeader header = DecodeObjectHeader(raw);
    uint64_t at = static_cast<uint64_t>(position);
    if (header.type == kAcquisitionObject) {
      file->AddToIndex(header.type, at, header.size);
      ++file->acquisitionCounter;
      if (header.size < kObjectHeaderBytes || header.size - kObjectHeaderBytes != size) {
        // Step over an acquisition of another size so that replay stays aligned.
        if (file->ObjectFits(header, at)) file->SeekTo(at + header.size);
        return ObjectFailed(camera, -3);
      }
      if (file->ReadPayload(buffer, size) < 0) return ObjectFailed(camera, -4);
      Notify(camera.Handle(), QV_MSG_STREAM, StreamEvent(file, QV_STREAM_ACQ_READ), nullptr);
      return static_cast<int32_t>(size);
    }
    if (!file->ObjectFits(header, at)) {
      // Nothing behind a corrupt object can be found again: the stream ends here.
      file->Close();
      return ObjectFailed(camera, -4);
    }
    file->SeekTo(at + header.size);
    file->AddToIndex(header.type, at, header.size);
    Notify(camera.Handle(), QV_MSG_TEXT, kMsgDataWarning, "CPelCam::ReadData(): skipping object!");
  }
}

}  // namespace orvex
