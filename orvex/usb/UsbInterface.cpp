#include "usb/UsbInterface.h"

namespace orvex {

CUsbInterface::~CUsbInterface() = default;

int CUsbInterface::ClearHalt(unsigned /*endpoint*/) { return -1; }

}  // namespace orvex
