#include <gtest/gtest.h>
#include <libusb.h>

#include "platform/usbhost/libusb/LibusbErrors.h"
#include "platform/win32/Win32.h"

namespace Korvane {
namespace Platform {

namespace {

struct Mapping {
    int libusb;
    UsbError win32;
};

class LibusbErrorMappingTest : public ::testing::TestWithParam<Mapping> {};

TEST_P(LibusbErrorMappingTest, CallResultBecomesTheWin32Code) {
    EXPECT_EQ(win32ErrorFromLibusb(GetParam().libusb), GetParam().win32)
        << libusb_error_name(GetParam().libusb);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, LibusbErrorMappingTest,
    ::testing::Values(Mapping{LIBUSB_SUCCESS, ERROR_SUCCESS},
                      Mapping{LIBUSB_ERROR_ACCESS, ERROR_ACCESS_DENIED},
                      Mapping{LIBUSB_ERROR_BUSY, ERROR_BUSY},
                      Mapping{LIBUSB_ERROR_NO_DEVICE, ERROR_DEVICE_NOT_CONNECTED},
                      Mapping{LIBUSB_ERROR_TIMEOUT, ERROR_SEM_TIMEOUT},
                      Mapping{LIBUSB_ERROR_PIPE, ERROR_GEN_FAILURE},
                      Mapping{LIBUSB_ERROR_OVERFLOW, ERROR_INVALID_DATA},
                      Mapping{LIBUSB_ERROR_OTHER, ERROR_GEN_FAILURE},
                      Mapping{LIBUSB_ERROR_IO, ERROR_GEN_FAILURE},
                      Mapping{LIBUSB_ERROR_NOT_FOUND, ERROR_FILE_NOT_FOUND},
                      Mapping{LIBUSB_ERROR_INVALID_PARAM, ERROR_INVALID_PARAMETER},
                      Mapping{-1000, ERROR_GEN_FAILURE}));

class LibusbTransferStatusTest : public ::testing::TestWithParam<Mapping> {};

TEST_P(LibusbTransferStatusTest, FinishedTransferReportsTheWin32Code) {
    EXPECT_EQ(win32ErrorFromTransferStatus(GetParam().libusb), GetParam().win32)
        << "status " << GetParam().libusb;
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, LibusbTransferStatusTest,
    ::testing::Values(Mapping{LIBUSB_TRANSFER_COMPLETED, ERROR_SUCCESS},
                      Mapping{LIBUSB_TRANSFER_CANCELLED, ERROR_OPERATION_ABORTED},
                      Mapping{LIBUSB_TRANSFER_NO_DEVICE, ERROR_DEVICE_NOT_CONNECTED},
                      Mapping{LIBUSB_TRANSFER_STALL, ERROR_GEN_FAILURE},
                      Mapping{LIBUSB_TRANSFER_ERROR, ERROR_GEN_FAILURE},
                      Mapping{LIBUSB_TRANSFER_TIMED_OUT, ERROR_SEM_TIMEOUT},
                      Mapping{LIBUSB_TRANSFER_OVERFLOW, ERROR_INVALID_DATA}));

}  // namespace

}  // namespace Platform
}  // namespace Korvane
