#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <functional>
#include <utility>

#include "ScriptedTableFixture.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "platform/win32/HandleTable.h"
#include "usb/USBDevice_WinUSB.h"
#include "utilities/ErrorCodes.h"
#include "utilities/OrbiZoException.h"

namespace {

using Korvane::DeviceDriver::OrbiZo::OrbiZoException;
using Korvane::DeviceDriver::OrbiZo::USB::USBDevice_WinUSB;
using Korvane::Testing::Bytes;
using Korvane::Testing::bytes;
using Korvane::Testing::hex;
using Korvane::Testing::packet;
namespace ErrorCode = Korvane::DeviceDriver::OrbiZo::ErrorCode;

constexpr std::uint32_t kWholeBuffer = 131072;

class USBDeviceWinUSBTest : public Korvane::Testing::ScriptedTableTest {
protected:
    // One bulk read of the whole buffer on pipe 1; the bytes received.
    Bytes receive(USBDevice_WinUSB& usb) {
        std::vector<std::uint8_t> buffer(kWholeBuffer, 0);
        std::uint32_t length = kWholeBuffer;
        usb.receive(1, buffer, length);
        return Bytes(buffer.begin(), buffer.begin() + length);
    }
};

TEST_F(USBDeviceWinUSBTest, KeepsTheDevicePath) {
    USBDevice_WinUSB usb(path);
    EXPECT_EQ(path, usb.getDevicePath());
}

TEST_F(USBDeviceWinUSBTest, OpenOfAVanishedDeviceIsRecordedAndTheFirstReadThrows) {
    Korvane::Platform::SimulatedUsbBus::instance().unplugAll();
    USBDevice_WinUSB usb(path);
    EXPECT_NO_THROW(usb.open());
    EXPECT_EQ(1u, usb.getLastErrorCode());
    EXPECT_EQ("FAILED OpenPort: USB Device not found", usb.getLastErrorText());

    try {
        receive(usb);
        FAIL() << "read of a device that is not open succeeded";
    } catch (const OrbiZoException& e) {
        EXPECT_EQ(ErrorCode::DeviceReadFailed, e.code);
        EXPECT_STREQ(
            "Device read returned 0 bytes instead of 131072 on pipe 1 with timeout 1000/1000",
            e.what());
    }
    EXPECT_EQ("Receive: Failed ReadPipe", usb.getLastErrorText());
}

TEST_F(USBDeviceWinUSBTest, ReadReturnsWhatTheDeviceSent) {
    device->queueIn(packet("hello"));
    USBDevice_WinUSB usb(path);
    usb.open();
    EXPECT_EQ(packet("hello"), receive(usb));
}

// The one test that waits out the full 1000 ms of a bulk read.
TEST_F(USBDeviceWinUSBTest, ReadTimeOutReturnsNothingAbortsAndTheNextReadWorks) {
    device->queueNoReply();
    device->queueIn(packet("late"));
    USBDevice_WinUSB usb(path);
    usb.open();

    EXPECT_TRUE(receive(usb).empty());
    EXPECT_EQ(2u, usb.getLastErrorCode());
    EXPECT_EQ("Receive: TIMEOUT", usb.getLastErrorText());
    EXPECT_EQ(1, device->cancelledReads());
    EXPECT_EQ(0, device->pendingReads());

    EXPECT_EQ(packet("late"), receive(usb));
}

TEST_F(USBDeviceWinUSBTest, ReadOfAnUnpluggedDeviceThrowsInsteadOfHanging) {
    USBDevice_WinUSB usb(path);
    usb.open();
    Korvane::Platform::SimulatedUsbBus::instance().unplugAll();
    EXPECT_THROW(receive(usb), OrbiZoException);
}

TEST_F(USBDeviceWinUSBTest, ReadOfLengthZeroThatCannotStartReturnsNothing) {
    USBDevice_WinUSB usb(path);  // never opened
    std::vector<std::uint8_t> buffer(8, 0);
    std::uint32_t length = 0;
    EXPECT_NO_THROW(usb.receive(1, buffer, length));
    EXPECT_EQ(0u, length);
}

TEST_F(USBDeviceWinUSBTest, SendWritesTheBytesUnchangedToTheBulkOutPipe) {
    const Bytes line = bytes(std::string(";a0\x00\xff\r", 6));
    device->expectOut(line);
    USBDevice_WinUSB usb(path);
    usb.open();
    usb.send(7, line);  // the pipe number does not matter
    EXPECT_TRUE(device->problems().empty()) << device->problems().front();
    EXPECT_EQ(1u, device->outTransfers().size());
}

TEST_F(USBDeviceWinUSBTest, ControlRequestWithoutDataStageNeverFails) {
    device->failNextControl(1);
    USBDevice_WinUSB usb(path);
    usb.open();
    std::vector<std::uint8_t> none;
    EXPECT_NO_THROW(usb.controlTransfer(3, 0x0034, 0, false, none));

    const auto requests = device->controlRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(0x40, requests[0].setup.requestType);
    EXPECT_EQ(3, requests[0].setup.request);
    EXPECT_EQ(0x0034, requests[0].setup.value);
    EXPECT_EQ(0, requests[0].setup.length);
}

TEST_F(USBDeviceWinUSBTest, ControlRequestReadingLessShrinksTheData) {
    device->setControlAnswer(5, Bytes{0xAA, 0xBB, 0xCC});
    USBDevice_WinUSB usb(path);
    usb.open();
    std::vector<std::uint8_t> data(8, 0);
    usb.controlTransfer(5, 0x0001, 0x0002, true, data);
    EXPECT_EQ((Bytes{0xAA, 0xBB, 0xCC}), data) << hex(data);

    const auto requests = device->controlRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(0xC0, requests[0].setup.requestType);
    EXPECT_EQ(8, requests[0].setup.length);
    EXPECT_EQ(0x0002, requests[0].setup.index);
}

TEST_F(USBDeviceWinUSBTest, ControlRequestWhoseDataStageFailsThrowsWithTheSystemText) {
    device->failNextControl(1);
    USBDevice_WinUSB usb(path);
    usb.open();
    std::vector<std::uint8_t> data(4, 0);
    try {
        usb.controlTransfer(5, 0, 0, true, data);
        FAIL() << "a failed data stage was not reported";
    } catch (const OrbiZoException& e) {
        EXPECT_EQ(ErrorCode::DeviceIoControlFailed, e.code);
        const std::string text = e.what();
        const std::string head = "Device IO control failed c:  Win32 Error (31) : '";
        EXPECT_EQ(head, text.substr(0, head.size())) << text;
        EXPECT_GT(text.size(), head.size() + 3) << "no system message: " << text;
        EXPECT_EQ("\r\n'", text.substr(text.size() - 3)) << text;
    }
}

TEST_F(USBDeviceWinUSBTest, ControlRequestBeforeOpenDoesNothing) {
    USBDevice_WinUSB usb(path);
    std::vector<std::uint8_t> data(4, 0);
    EXPECT_NO_THROW(usb.controlTransfer(5, 0, 0, true, data));
    EXPECT_TRUE(device->controlRequests().empty());
}

TEST_F(USBDeviceWinUSBTest, SerialNumberComesFromTheStringDescriptor) {
    USBDevice_WinUSB usb(path);
    EXPECT_THROW(
        {
            try {
                usb.getSerialNumber();
            } catch (const OrbiZoException& e) {
                EXPECT_EQ(ErrorCode::DeviceNotOpen, e.code);
                EXPECT_STREQ("Device not open", e.what());
                throw;
            }
        },
        OrbiZoException);
    usb.open();
    EXPECT_EQ(kSerial, usb.getSerialNumber());
}

TEST_F(USBDeviceWinUSBTest, SecondHolderIsToldTheDeviceIsInUse) {
    USBDevice_WinUSB first(path);
    first.open();
    USBDevice_WinUSB second(path);
    try {
        second.open();
        FAIL() << "a second holder could open the device";
    } catch (const OrbiZoException& e) {
        EXPECT_EQ(ErrorCode::DeviceInUse, e.code);
    }

    // The first holder is not disturbed, and once it lets go the device can be opened again.
    device->queueIn(packet("x"));
    EXPECT_EQ(packet("x"), receive(first));
    first.close();
    EXPECT_NO_THROW(second.open());
    EXPECT_EQ(kSerial, second.getSerialNumber());
}

TEST_F(USBDeviceWinUSBTest, OpenCloseCyclesLeaveNoHandleBehind) {
    USBDevice_WinUSB usb(path);
    const std::size_t before = Korvane::Platform::HandleTable::instance().size();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        usb.open();
        usb.close();
    }
    EXPECT_EQ(before, Korvane::Platform::HandleTable::instance().size());
    EXPECT_EQ(1000, device->sessionsClosed());
}

// A table that goes away under an open device: every transfer says so at once.
TEST_F(USBDeviceWinUSBTest, TransfersOfAnUnpluggedTableReportTheConnectionLost) {
    USBDevice_WinUSB usb(path);
    usb.open();
    Korvane::Platform::SimulatedUsbBus::instance().unplug(kSerial);
    const std::vector<std::pair<const char*, std::function<void()>>> transfers = {
        {"receive", [&] { receive(usb); }},
        {"send", [&] { usb.send(2, bytes(";a034\r")); }},
    };
    for (const auto& transfer : transfers) {
        SCOPED_TRACE(transfer.first);
        try {
            transfer.second();
            ADD_FAILURE() << "nothing thrown";
        } catch (const OrbiZoException& e) {
            EXPECT_EQ(ErrorCode::ConnectionLost, e.code);
            EXPECT_STREQ("Connection to device lost", e.what());
        }
    }
}

// A stalled or aborted write on a table still present is a write failure, not a disconnect:
// the endpoint's halt is cleared and the next write goes through.
TEST_F(USBDeviceWinUSBTest, WriteTheDeviceRefusesFailsAndLeavesTheEndpointReady) {
    USBDevice_WinUSB usb(path);
    usb.open();
    // ERROR_GEN_FAILURE (a stall), ERROR_OPERATION_ABORTED
    for (Korvane::Platform::UsbError error : {31u, 995u}) {
        SCOPED_TRACE(error);
        device->clearRecord();
        device->failNextBulk(1, error);
        try {
            usb.send(2, bytes("x"));
            ADD_FAILURE() << "a refused write passed";
        } catch (const OrbiZoException& e) {
            EXPECT_EQ(ErrorCode::WriteFailed, e.code);
            EXPECT_STREQ("Write to device failed", e.what());
        }
        EXPECT_EQ(std::vector<std::uint8_t>{0x02}, device->endpointResets());
        usb.send(2, bytes("y"));
        EXPECT_EQ(std::vector<Bytes>{bytes("y")}, device->outTransfers());
    }
}

TEST_F(USBDeviceWinUSBTest, OpenTwiceKeepsOneSession) {
    USBDevice_WinUSB usb(path);
    usb.open();
    usb.open();
    EXPECT_EQ(2, device->sessionsOpened());
    EXPECT_EQ(1, device->sessionsClosed());
}

}  // namespace
