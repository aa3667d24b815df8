// The replay side of stream files: opening a recorded stream, binding it to a
// camera, and reading its acquisitions one after the other.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "acq/QVFileIO.h"

class CPelCam;

namespace orvex {

// Opens path for replay and checks the signature and the init object; gives
// the recorded open string. Null (after reporting) when a check fails.
std::unique_ptr<CQVFileIO> OpenReplayStream(const char* path, std::string& openString);

// Makes the stream the camera's interface (kind 3) and loads the register
// image from the register snapshot. 0, or -2 (after reporting) without a
// snapshot; the stream is then destroyed.
int32_t ConnectStream(CPelCam& camera, std::unique_ptr<CQVFileIO> stream);

// The next acquisition of exactly size bytes: size, or -2 end of stream, -3 an
// acquisition of another size, -4 a short or corrupt object.
int32_t ReadNextAcquisition(CPelCam& camera, void* buffer, uint32_t size);

}  // namespace orvex
