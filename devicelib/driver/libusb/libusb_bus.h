// The USB bus through libusb-1.0: device list, descriptors from the
// kernel's copies, and hot-plug news from libusb's callbacks.
#ifndef QUILLON_DEVICELIB_DRIVER_LIBUSB_LIBUSB_BUS_H
#define QUILLON_DEVICELIB_DRIVER_LIBUSB_LIBUSB_BUS_H

#include <memory>

#include "libusb/usb_bus.h"

namespace ov::usb {

// Never null; a bus whose libusb did not start lists no devices and says
// why through startupProblem().
std::unique_ptr<UsbBus> makeLibusbBus();

} // namespace ov::usb

#endif
