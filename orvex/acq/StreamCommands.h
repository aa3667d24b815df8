// The stream commands of QV_FileStreamCmd.
#pragma once

#include <cstdint>

class CPelCam;

namespace orvex {

int32_t RunStreamCommand(CPelCam& camera, uint32_t command, uint32_t argument, void* parameter);

}  // namespace orvex
