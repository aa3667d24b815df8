// The recording side of stream files: the file's beginning, register writes
// and acquisitions appended while a camera records.
#pragma once

#include <cstdint>

class CPelCam;

namespace orvex {

// Stream command 0: creates the file, writes header, init object and register
// snapshot and attaches it as the camera's recording stream (replacing an
// earlier one). 0, or -4 (cannot create), -5 (header or init object), -6
// (register snapshot).
int32_t CreateRecordingStream(CPelCam& camera, const char* path);
// Stream command 1: 0, or -1 when there is no open recording stream.
int32_t CloseRecordingStream(CPelCam& camera);

// Appends one register-write object when a recording stream is open.
void AppendRegisterWrite(CPelCam& camera, uint8_t address, uint8_t value);
// Appends one acquisition object (header, then size bytes unless size is 0).
void AppendAcquisition(CPelCam& camera, const void* data, uint32_t size);
// Stream command 6: descriptor size + 8, or -1.
int32_t AppendApplicationObject(CPelCam& camera, uint32_t type, uint32_t size, const void* data);

}  // namespace orvex
