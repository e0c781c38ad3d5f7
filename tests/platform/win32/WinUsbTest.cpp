#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/SimulatedBusFixture.h"

namespace Korvane {
namespace Testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(OpenDeviceTest, DeviceDescriptorAndSerialString) {
    UCHAR descriptor[18] = {};
    ULONG read = 0;
    ASSERT_TRUE(WinUsb_GetDescriptor(usb, USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, descriptor,
                                     sizeof descriptor, &read));
    ASSERT_EQ(read, 18u);
    auto* device = reinterpret_cast<USB_DEVICE_DESCRIPTOR*>(descriptor);
    EXPECT_EQ(+device->idVendor, kVendor);
    EXPECT_EQ(+device->idProduct, kProduct);
    EXPECT_EQ(device->iSerialNumber, 3);

    // First the length, then the whole string, as the USB code reads it.
    UCHAR head[4] = {};
    ASSERT_TRUE(WinUsb_GetDescriptor(usb, USB_STRING_DESCRIPTOR_TYPE, device->iSerialNumber, 0,
                                     head, sizeof head, &read));
    EXPECT_EQ(read, 4u);
    ASSERT_EQ(head[0], 2 + 2 * 5);
    Bytes text(head[0]);
    ASSERT_TRUE(WinUsb_GetDescriptor(usb, USB_STRING_DESCRIPTOR_TYPE, device->iSerialNumber, 0,
                                     text.data(), head[0], &read));
    EXPECT_EQ(text, (Bytes{12, 3, 'S', 0, 'E', 0, 'R', 0, '-', 0, 'A', 0}));

    EXPECT_FALSE(WinUsb_GetDescriptor(usb, USB_STRING_DESCRIPTOR_TYPE, 9, 0, head, 4, &read));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);  // the device stalls unknown strings
}

TEST_F(OpenDeviceTest, InterfaceSettingsAndPipesComeFromTheConfiguration) {
    UCHAR setting = 0xFF;
    ASSERT_TRUE(WinUsb_GetCurrentAlternateSetting(usb, &setting));
    EXPECT_EQ(setting, 0);
    USB_INTERFACE_DESCRIPTOR interface {};
    ASSERT_TRUE(WinUsb_QueryInterfaceSettings(usb, setting, &interface));
    EXPECT_EQ(interface.bNumEndpoints, 2);
    EXPECT_EQ(interface.bInterfaceClass, 0xFF);

    WINUSB_PIPE_INFORMATION pipes[2] = {};
    for (UCHAR i = 0; i < interface.bNumEndpoints; ++i) {
        ASSERT_TRUE(WinUsb_QueryPipe(usb, setting, i, &pipes[i]));
    }
    EXPECT_EQ(pipes[0].PipeId, 0x81);
    EXPECT_EQ(pipes[0].PipeType, UsbdPipeTypeBulk);
    EXPECT_EQ(+pipes[0].MaximumPacketSize, 64);  // packed: compare a copy
    EXPECT_EQ(pipes[1].PipeId, 0x02);
    WINUSB_PIPE_INFORMATION none{};
    EXPECT_FALSE(WinUsb_QueryPipe(usb, setting, 2, &none));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_FALSE(WinUsb_QueryInterfaceSettings(usb, 1, &interface));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
}

TEST_F(OpenDeviceTest, ControlTransfersInAndOut) {
    Bytes divisor{0x34, 0x00};
    WINUSB_SETUP_PACKET out{0x40, 0x03, 0x0034, 0x0000, 2};
    ULONG moved = 0;
    ASSERT_TRUE(WinUsb_ControlTransfer(usb, out, divisor.data(), 2, &moved, nullptr));
    EXPECT_EQ(moved, 2u);

    device->setControlAnswer(0x05, Bytes{0x01, 0x60});
    Bytes status(2);
    WINUSB_SETUP_PACKET in{0xC0, 0x05, 0x0000, 0x0000, 2};
    ASSERT_TRUE(WinUsb_ControlTransfer(usb, in, status.data(), 2, &moved, nullptr));
    EXPECT_EQ(moved, 2u);
    EXPECT_EQ(status, (Bytes{0x01, 0x60}));

    WINUSB_SETUP_PACKET reset{0x40, 0x00, 0x0000, 0x0000, 0};
    device->failNextControl(1);
    EXPECT_FALSE(WinUsb_ControlTransfer(usb, reset, nullptr, 0, &moved, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(moved, 0u);

    auto requests = device->controlRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].setup.request, 0x03);
    EXPECT_EQ(requests[0].setup.value, 0x0034);
    EXPECT_EQ(requests[0].data, divisor);
    EXPECT_EQ(requests[1].setup.requestType, 0xC0);
    EXPECT_EQ(requests[2].setup.request, 0x00);
}

TEST_F(OpenDeviceTest, WriteDeliversTheBytes) {
    Bytes command = bytes(";a0F1\r");
    device->expectOut(command);
    ULONG written = 0;
    ASSERT_FALSE(WinUsb_WritePipe(usb, 0x02, command.data(), static_cast<ULONG>(command.size()),
                                  &written, &overlapped));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_EQ(WaitForSingleObject(overlapped.hEvent, INFINITE), WAIT_OBJECT_0);
    DWORD transferred = 0;
    ASSERT_TRUE(WinUsb_GetOverlappedResult(usb, &overlapped, &transferred, TRUE));
    EXPECT_EQ(transferred, command.size());
    EXPECT_EQ(overlapped.InternalHigh, command.size());
    EXPECT_THAT(device->problems(), IsEmpty());
}

TEST_F(OpenDeviceTest, OverlappedReadCompletesThroughTheEvent) {
    startRead();
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_TIMEOUT);
    DWORD transferred = 0;
    EXPECT_FALSE(WinUsb_GetOverlappedResult(usb, &overlapped, &transferred, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);

    device->queueIn(bytes("\x01\x60:$a0\r"));
    ASSERT_EQ(WaitForSingleObject(overlapped.hEvent, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(overlapped.Internal, STATUS_SUCCESS);
    EXPECT_EQ(overlapped.InternalHigh, 7u);
    auto [error, data] = finishRead();
    EXPECT_EQ(error, ERROR_SUCCESS);
    EXPECT_EQ(data, bytes("\x01\x60:$a0\r"));
}

TEST_F(OpenDeviceTest, ReadThatTimesOutIsAbortedAndTheNextReadIsClean) {
    device->queueNoReply();
    startRead();
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 20), WAIT_TIMEOUT);
    ASSERT_TRUE(WinUsb_AbortPipe(usb, 0x81));
    // Abort returns once the transfer has ended.
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(finishRead(), std::make_pair(ERROR_OPERATION_ABORTED, Bytes{}));
    EXPECT_EQ(device->cancelledReads(), 1);

    device->queueIn(Bytes{0x01, 0x60, 'x'});
    startRead();
    EXPECT_EQ(finishRead(), std::make_pair(ERROR_SUCCESS, (Bytes{0x01, 0x60, 'x'})));
    EXPECT_TRUE(WinUsb_AbortPipe(usb, 0x81));  // nothing pending
}

TEST_F(OpenDeviceTest, AbortAndResetOfAMissingEndpointFailWithoutSideEffect) {
    startRead();
    for (UCHAR pipe : {UCHAR{0x00}, UCHAR{0x82}, UCHAR{0x03}, UCHAR{0x84}, UCHAR{0x85}}) {
        SCOPED_TRACE(pipe);
        EXPECT_FALSE(WinUsb_AbortPipe(usb, pipe));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_FALSE(WinUsb_ResetPipe(usb, pipe));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_TIMEOUT);  // still pending
    EXPECT_TRUE(WinUsb_ResetPipe(usb, 0x81));
    device->queueIn(Bytes{0x01, 0x60});
    EXPECT_EQ(finishRead(), std::make_pair(ERROR_SUCCESS, (Bytes{0x01, 0x60})));
}

TEST_F(OpenDeviceTest, UnplugFailsThePendingReadAndEverythingAfter) {
    startRead();
    unplug("SER-A");
    ASSERT_EQ(WaitForSingleObject(overlapped.hEvent, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(finishRead(), std::make_pair(ERROR_DEVICE_NOT_CONNECTED, Bytes{}));

    ULONG transferred = 0;
    EXPECT_FALSE(WinUsb_ReadPipe(usb, 0x81, buffer.data(), 64, &transferred, &overlapped));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    UCHAR descriptor[18];
    EXPECT_FALSE(
        WinUsb_GetDescriptor(usb, USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, descriptor, 18, &transferred));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    device->queueIn(Bytes{0x01, 0x60});  // a late answer goes nowhere
}

TEST_F(OpenDeviceTest, ReplugAfterUnplugGivesACleanRead) {
    startRead();
    unplug("SER-A");
    EXPECT_EQ(finishRead().first, ERROR_DEVICE_NOT_CONNECTED);
    WinUsb_Free(usb);
    usb = nullptr;
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;

    auto again = plug("SER-A");
    again->queueIn(Bytes{0x01, 0x60, 'o', 'k'});
    file = CreateFileW(pathOf("SER-A").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(WinUsb_Initialize(file, &usb));
    startRead();
    EXPECT_EQ(finishRead(), std::make_pair(ERROR_SUCCESS, (Bytes{0x01, 0x60, 'o', 'k'})));
}

TEST_F(OpenDeviceTest, UnplugFromInsideTheDeviceEndsTheWriteAndThePendingRead) {
    device->onOut([](const Bytes&) { unplug("SER-A"); });  // loses power on the command
    startRead();
    Bytes command = bytes(";r\r");
    OVERLAPPED write{};
    write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ULONG written = 0;
    WinUsb_WritePipe(usb, 0x02, command.data(), 3, &written, &write);
    ASSERT_EQ(WaitForSingleObject(write.hEvent, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(finishRead(), std::make_pair(ERROR_DEVICE_NOT_CONNECTED, Bytes{}));
    CloseHandle(write.hEvent);
}

TEST_F(OpenDeviceTest, ClosingTheFileCancelsThePendingReadAndReleasesTheDevice) {
    startRead();
    ASSERT_TRUE(CloseHandle(file));  // without WinUsb_Free, as the USB code does
    file = INVALID_HANDLE_VALUE;
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(finishRead().first, ERROR_OPERATION_ABORTED);
    EXPECT_EQ(device->sessionsClosed(), 1);

    ULONG transferred = 0;
    EXPECT_FALSE(WinUsb_ReadPipe(usb, 0x81, buffer.data(), 64, &transferred, &overlapped));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    HANDLE again = CreateFileW(pathOf("SER-A").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(OpenDeviceTest, BulkFaultsFailTheTransfer) {
    device->failNextBulk(1, ERROR_GEN_FAILURE);
    startRead();
    EXPECT_EQ(finishRead(), std::make_pair(ERROR_GEN_FAILURE, Bytes{}));
}

TEST_F(SimulatedBusTest, OpeningAMissingOrHeldDevice) {
    plug("SER-A");
    struct Case {
        const char* name;
        std::wstring path;
        DWORD error;
    } cases[] = {
        {"other serial", pathOf("SER-B"), ERROR_FILE_NOT_FOUND},
        {"not a device path", L"C:\\firmware.zof", ERROR_FILE_NOT_FOUND},
        {"other class",
         L"\\\\?\\usb#vid_1209&pid_7a03#SER-A#{00000000-0000-0000-0000-000000000000}",
         ERROR_FILE_NOT_FOUND},
        {"held", pathOf("SER-A"), ERROR_ACCESS_DENIED},
        {"held, other case",
         L"\\\\?\\USB#VID_1209&PID_7A03#ser-a#{A5DCBF10-6530-11D2-901F-00C04FB951ED}",
         ERROR_ACCESS_DENIED},
    };
    HANDLE holder = CreateFileW(pathOf("SER-A").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_EQ(CreateFileW(c.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    CloseHandle(holder);
}

TEST_F(SimulatedBusTest, WinUsbCallsOnWrongHandlesFail) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WINUSB_INTERFACE_HANDLE usb = nullptr;
    EXPECT_FALSE(WinUsb_Initialize(event, &usb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    UCHAR setting;
    EXPECT_FALSE(WinUsb_GetCurrentAlternateSetting(event, &setting));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(WinUsb_AbortPipe(nullptr, 0x81));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(WinUsb_Free(event));
    CloseHandle(event);
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane
