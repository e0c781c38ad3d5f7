#ifndef _WIN32

#include "platform/usbhost/libusb/LibusbErrors.h"

#include <libusb.h>

#include "platform/win32/Win32.h"

namespace Korvane {
namespace Platform {

UsbError win32ErrorFromLibusb(int libusbError) {
    switch (libusbError) {
        case LIBUSB_SUCCESS:
            return ERROR_SUCCESS;
        case LIBUSB_ERROR_INVALID_PARAM:
            return ERROR_INVALID_PARAMETER;
        case LIBUSB_ERROR_ACCESS:
            return ERROR_ACCESS_DENIED;
        case LIBUSB_ERROR_NO_DEVICE:
            return ERROR_DEVICE_NOT_CONNECTED;
        case LIBUSB_ERROR_NOT_FOUND:
            return ERROR_FILE_NOT_FOUND;
        case LIBUSB_ERROR_BUSY:
            return ERROR_BUSY;
        case LIBUSB_ERROR_TIMEOUT:
            return ERROR_SEM_TIMEOUT;
        case LIBUSB_ERROR_OVERFLOW:
            // The device sent more than the buffer holds (babble).
            return ERROR_INVALID_DATA;
        case LIBUSB_ERROR_PIPE:
            // The endpoint stalled the request.
            return ERROR_GEN_FAILURE;
        case LIBUSB_ERROR_INTERRUPTED:
            return ERROR_OPERATION_ABORTED;
        case LIBUSB_ERROR_NO_MEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case LIBUSB_ERROR_NOT_SUPPORTED:
            return ERROR_NOT_SUPPORTED;
        case LIBUSB_ERROR_IO:
        case LIBUSB_ERROR_OTHER:
        default:
            return ERROR_GEN_FAILURE;
    }
}

UsbError win32ErrorFromTransferStatus(int transferStatus) {
    switch (transferStatus) {
        case LIBUSB_TRANSFER_COMPLETED:
            return ERROR_SUCCESS;
        case LIBUSB_TRANSFER_CANCELLED:
            return ERROR_OPERATION_ABORTED;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return ERROR_DEVICE_NOT_CONNECTED;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return ERROR_SEM_TIMEOUT;
        case LIBUSB_TRANSFER_OVERFLOW:
            return ERROR_INVALID_DATA;
        case LIBUSB_TRANSFER_STALL:
        case LIBUSB_TRANSFER_ERROR:
        default:
            return ERROR_GEN_FAILURE;
    }
}

}  // namespace Platform
}  // namespace Korvane

#endif  // _WIN32
