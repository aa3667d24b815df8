#include "usb/UsbInterface.h"

namespace orvex {

CUsbInterface::~CUsbInterface() = default;

int CUsbInterface::ClearHalt(unsigned /*endpoint*/) { return -1; }

int CUsbInterface::BulkRead(unsigned /*endpoint*/, void* /*buffer*/, size_t /*length*/) { return -1; }

int CUsbInterface::BulkWrite(unsigned /*endpoint*/, const void* /*buffer*/, size_t /*length*/) { return -1; }

}  // namespace orvex
