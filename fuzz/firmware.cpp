// Controller firmware images (".iic"): the boot-header check and the walk
// over the load records, which must stay inside the image whatever the
// record lengths say.
#include <cstdint>
#include <cstring>
#include <vector>

#include "Orvex.h"
#include "usb/Firmware.h"
#include "usb/UsbInterface.h"

namespace {

int32_t Silent(QV_Handle, uint32_t, uint32_t, const char*) { return 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = (QV_SetCallback(&Silent), true);
  (void)once;
  // An exact-size copy, so that any read past the end is caught.
  std::vector<uint8_t> image(data, data + size);
  orvex::CheckBootHeader(image.data(), image.size());
  orvex::CUsbInterface noDevice;
  orvex::UploadToControllerRam(noDevice, image.data(), image.size());
  return 0;
}
