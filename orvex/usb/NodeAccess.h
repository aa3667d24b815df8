// Why a camera the bus lists could not be taken, in words for the user.
#pragma once

#include <string>

struct usb_device;

namespace orvex {

// The device node of a listed device: /dev/bus/usb/BBB/DDD.
std::string DeviceNodePath(const struct usb_device* device);

// The reason a listed camera was refused, given the failed open (result 0)
// or the negative result of selecting its configuration or claiming it:
// in use by another program, or no permission on its node (with the udev
// rule that grants it). Empty when neither applies.
std::string RefusalText(const struct usb_device* device, int result);

}  // namespace orvex
