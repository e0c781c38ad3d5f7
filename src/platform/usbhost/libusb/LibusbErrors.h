#pragma once

// Where a libusb call of the libusb backend fails, its result becomes the Win32 error code that
// the Win32 layer hands to GetLastError. Every libusb result is translated here and nowhere else;
// a call site may still give one result a meaning of its own (open turns a vanished device into
// ERROR_FILE_NOT_FOUND) before falling back to these tables.

#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Platform {

// A libusb_error value (0 or negative) as a Win32 error code.
UsbError win32ErrorFromLibusb(int libusbError);

// The status of a finished asynchronous transfer (libusb_transfer_status) as a Win32 error code.
// A cancelled transfer reads ERROR_OPERATION_ABORTED; the session replaces it when it cancelled
// the transfer because the device left.
UsbError win32ErrorFromTransferStatus(int transferStatus);

}  // namespace Platform
}  // namespace Korvane
