#include "acq/StreamRecording.h"

#include <cstring>
#include <sys/stat.h>
#include <memory>
#include <vector>

#include "acq/QVFileIO.h"
#include "acq/StreamBytes.h"
#include "core/PelCam.h"
#include "core/PelSys.h"

namespace orvex {
namespace {

CQVFileIO* OpenRecording(CPelCam& camera) {
  return camera.recording && camera.recording->IsWriting() ? camera.recording.get() : nullptr;
}

bool WriteHeader(CQVFileIO& file, uint32_t type, uint32_t size) {
  uint8_t raw[kObjectHeaderBytes];
  EncodeObjectHeader(raw, type, size);
  return file.WriteAll(raw, sizeof raw);
}

bool WriteBeginning(CQVFileIO& file, const std::string& openString) {
  uint8_t raw[kFileHeaderBytes + kInitHeaderBytes];
  std::memcpy(raw, "qvIO", 4);
  PutU32(raw + 4, kStreamVersion);
  EncodeObjectHeader(raw + 8, FOID_InitV0x0001, static_cast<uint32_t>(kInitHeaderBytes + openString.size()));
  PutU32(raw + 16, 0);  // reserved
  return file.WriteAll(raw, sizeof raw) && file.WriteAll(openString.data(), openString.size());
}

bool WriteRegisterSnapshot(CQVFileIO& file, CPelCam& camera) {
  const _RegDesc* desc = camera.regDesc.get();
  uint16_t count = desc ? desc->regCount : 0;
  std::vector<uint8_t> object(kObjectHeaderBytes + 2u * count);
  EncodeObjectHeader(object.data(), FPGAConfigV0x0001, static_cast<uint32_t>(object.size()));
  for (uint16_t i = 0; i < count; ++i) {
    uint8_t address = desc->regs[i].num;
    object[kObjectHeaderBytes + 2u * i] = address;
    object[kObjectHeaderBytes + 2u * i + 1] = camera.GetReg(address);
  }
  return file.WriteAll(object.data(), object.size());
}

// Recording over the file being replayed would overwrite what is read and cut
// it on close (the exclusive open of other platforms refuses this too).
bool IsReplayedFile(const CPelCam& camera, const char* path) {
  struct stat target {}, replayed {};
  if (!camera.replay || !camera.replay->Access() || !path || ::stat(path, &target) != 0) return false;
  return ::fstat(camera.replay->FileDescriptor(), &replayed) == 0 && target.st_dev == replayed.st_dev &&
         target.st_ino == replayed.st_ino;
}

}  // namespace

int32_t CreateRecordingStream(CPelCam& camera, const char* path) {
  // One recording at a time: the older file is finished before the new begins.
  CloseRecordingStream(camera);
  if (IsReplayedFile(camera, path)) return -4;
  auto file = std::make_unique<CQVFileIO>();
  if (!file->OpenForWriting(path)) return -4;
  // The file keeps what was written on failure; only the stream is dropped.
  std::string openString = camera.owner ? camera.owner->name : std::string();
  if (openString.size() > 0xFFFFFFFFu - kInitHeaderBytes) return -5;
  if (!WriteBeginning(*file, openString)) return -5;
  if (!WriteRegisterSnapshot(*file, camera)) return -6;
  camera.recording = std::move(file);
  return 0;
}

int32_t CloseRecordingStream(CPelCam& camera) {
  if (!camera.recording) return -1;
  int result = camera.recording->Close();
  camera.recording.reset();
  return result == 0 ? 0 : -1;
}

void AppendRegisterWrite(CPelCam& camera, uint8_t address, uint8_t value) {
  CQVFileIO* file = OpenRecording(camera);
  if (!file) return;
  uint8_t object[kObjectHeaderBytes + 2];
  EncodeObjectHeader(object, FPGAConfigV0x0001, sizeof object);
  object[8] = address;
  object[9] = value;
  (void)file->WriteAll(object, sizeof object);
}

void AppendAcquisition(CPelCam& camera, const void* data, uint32_t size) {
  CQVFileIO* file = OpenRecording(camera);
  if (!file || size > 0xFFFFFFFFu - kObjectHeaderBytes || (size && !data)) return;
  if (!WriteHeader(*file, kAcquisitionObject, size + kObjectHeaderBytes)) return;
  if (size != 0 && data) (void)file->WriteAll(data, size);
}

int32_t AppendApplicationObject(CPelCam& camera, uint32_t type, uint32_t size, const void* data) {
  CQVFileIO* file = OpenRecording(camera);
  // The result is the object size as i32, so larger objects cannot be reported.
  if (!file || size > 0x7FFFFFFFu - kObjectHeaderBytes || (size && !data)) return -1;
  if (!WriteHeader(*file, type, size + kObjectHeaderBytes)) return -1;
  if (size && !file->WriteAll(data, size)) return -1;
  return static_cast<int32_t>(size + kObjectHeaderBytes);
}

}  // namespace orvex
