// One raw acquisition: into slot 0 (QV_Acquire) or a caller's buffer (QV_Read).
#pragma once

#include <cstdint>

class CPelCam;

namespace orvex {

// Reads one raw acquisition of size bytes from the camera's source (device,
// replayed stream or test pattern) and appends it to a recording stream.
int32_t ReadData(CPelCam& camera, void* buffer, uint32_t size);

// Fills slot 0, rebuilding it (messages 16 and 17) when its size or data mode
// no longer fits. The read result, or -1 when slot 0 cannot be replaced.
int32_t Acquire(CPelCam& camera);

}  // namespace orvex
