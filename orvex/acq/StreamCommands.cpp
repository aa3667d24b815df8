#include "acq/StreamCommands.h"

#include "Orvex.h"
#include "acq/QVFileIO.h"
#include "acq/StreamBytes.h"
#include "acq/StreamRecording.h"
#include "core/PelCam.h"

namespace orvex {
namespace {

CQVFileIO* ReplayStream(CPelCam& camera) { return camera.replay.get(); }

CQVFileIO* ReadingStream(CPelCam& camera) {
  return camera.replay && camera.replay->IsReading() ? camera.replay.get() : nullptr;
}

int32_t SeekAcquisition(CPelCam& camera, uint32_t k) {
  CQVFileIO* file = ReadingStream(camera);
  if (!file) return -1;
  int32_t reached = file->SeekToAcquisition(k);
  file->acquisitionCounter = reached - 1;
  return reached;
}

int32_t PeekObject(CPelCam& camera, QV_StreamObject* object) {
  CQVFileIO* file = ReadingStream(camera);
  ObjectHeader header;
  if (!file || !object || !file->PeekHeader(header)) return -1;
  object->type = header.type;
  object->size = header.size - kObjectHeaderBytes;
  return 0;
}

int32_t ReadTypedObject(CPelCam& camera, QV_StreamObject* object) {
  CQVFileIO* file = ReadingStream(camera);
  if (!file || !object) return -1;
  ObjectHeader header;
  if (!file->PeekHeader(header)) return -2;
  if (header.type != object->type) return -1;
  uint32_t payload = header.size - kObjectHeaderBytes;
  // A mismatch leaves the object unread, so the caller can peek and retry.
  if (payload != object->size || (payload && !object->data)) return -2;
  uint64_t position = static_cast<uint64_t>(file->Position());
  file->SeekTo(position + kObjectHeaderBytes);
  file->AddToIndex(header.type, position, header.size);
  if (header.type == kAcquisitionObject) ++file->acquisitionCounter;
  if (file->ReadPayload(object->data, payload) < 0) return -2;
  object->size = payload;
  return static_cast<int32_t>(payload > 0x7FFFFFFFu ? 0x7FFFFFFFu : payload);
}

int32_t SkipObject(CPelCam& camera) {
  CQVFileIO* file = ReadingStream(camera);
  return file ? file->SkipObject() : -1;
}

int32_t StoreFileHandle(CQVFileIO* file, void* parameter) {
  bool open = file && file->Access();
  if (parameter) *static_cast<int*>(parameter) = open ? file->FileDescriptor() : -1;
  return open ? 0 : -1;
}

int32_t WriteObject(CPelCam& camera, const QV_StreamObject* object) {
  if (!object) return -1;
  return AppendApplicationObject(camera, object->type, object->size, object->data);
}

}  // namespace

int32_t RunStreamCommand(CPelCam& camera, uint32_t command, uint32_t argument, void* parameter) {
  auto* object = static_cast<QV_StreamObject*>(parameter);
  switch (command) {
    case 0: return CreateRecordingStream(camera, static_cast<const char*>(parameter));
    case 1: return CloseRecordingStream(camera);
    case 2:
    case 4: return 0;
    case 3: return SeekAcquisition(camera, argument);
    case 5: return ReplayStream(camera) ? ReplayStream(camera)->AcquisitionCount() : -1;
    case 6: return WriteObject(camera, object);
    case 7: return PeekObject(camera, object);
    case 8: return ReadTypedObject(camera, object);
    case 9: return SkipObject(camera);
    case 10: return StoreFileHandle(camera.replay.get(), parameter);
    case 11: return StoreFileHandle(camera.recording.get(), parameter);
    default: return -1;
  }
}

}  // namespace orvex
