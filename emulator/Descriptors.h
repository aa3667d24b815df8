// The standard USB descriptors of a virtual camera, as the device sends them
// for GET_DESCRIPTOR and as usbfs shows them at the start of a device node.
#pragma once

#include <cstdint>
#include <vector>

#include "VirtualCamera.h"

namespace orvex_emu {

// The device descriptor: the identity of the running code, class 0xFF.
std::vector<uint8_t> DeviceDescriptor(const VirtualCamera& camera);
// Configuration 1 with interface 0 and the four bulk endpoints.
std::vector<uint8_t> ConfigurationDescriptor();
// The answer to GET_DESCRIPTOR(type, index); empty when the device has none (a stall).
std::vector<uint8_t> StandardDescriptor(const VirtualCamera& camera, int type, int index);

}  // namespace orvex_emu
