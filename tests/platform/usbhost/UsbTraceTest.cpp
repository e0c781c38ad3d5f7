#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/SimulatedBusFixture.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"

namespace Korvane {
namespace Testing {
namespace {

class UsbTraceTest : public OpenDeviceTest {
protected:
    void SetUp() override {
        OpenDeviceTest::SetUp();
        char name[] = "/tmp/orbizo3-trace-XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        tracePath = name;
        Platform::UsbPortRegistration::install(Platform::SimulatedUsbBus::instance(), tracePath);
    }
    void TearDown() override {
        Platform::UsbPortRegistration::trace().setFile("");
        std::remove(tracePath.c_str());
        OpenDeviceTest::TearDown();
    }

    // The trace's lines without their time stamps, which must have six decimals.
    std::vector<std::string> lines() {
        std::ifstream file(tracePath);
        std::vector<std::string> result;
        for (std::string line; std::getline(file, line);) {
            std::size_t space = line.find(' ');
            std::size_t dot = line.find('.');
            bool stamped = space != std::string::npos && dot != std::string::npos && dot > 0 &&
                           space == dot + 7 && line.find_first_not_of("0123456789.") == space;
            EXPECT_TRUE(stamped) << line;
            result.push_back(stamped ? line.substr(space + 1) : line);
        }
        return result;
    }

    std::string tracePath;
};

TEST_F(UsbTraceTest, OneLinePerTransfer) {
    ULONG moved = 0;
    WINUSB_SETUP_PACKET reset{0x40, 0x00, 0x0000, 0x0000, 0};
    WinUsb_ControlTransfer(usb, reset, nullptr, 0, &moved, nullptr);
    Bytes divisor{0x34, 0x00};
    WINUSB_SETUP_PACKET baud{0x40, 0x03, 0x0034, 0x0001, 2};
    WinUsb_ControlTransfer(usb, baud, divisor.data(), 2, &moved, nullptr);
    device->setControlAnswer(0x90, Bytes{0xAB});
    Bytes answer(1);
    WINUSB_SETUP_PACKET latency{0xC0, 0x90, 0x0000, 0x0000, 1};
    WinUsb_ControlTransfer(usb, latency, answer.data(), 1, &moved, nullptr);
    UCHAR descriptor[4];
    WinUsb_GetDescriptor(usb, USB_STRING_DESCRIPTOR_TYPE, 0, 0, descriptor, 4, &moved);

    Bytes command = bytes(";a0\r");
    device->expectOut(command, Bytes{0x01, 0x60, ':', 'A'});
    WinUsb_WritePipe(usb, 0x02, command.data(), 4, &moved, nullptr);
    startRead();
    finishRead();
    device->queueNoReply();
    startRead();
    WinUsb_AbortPipe(usb, 0x81);
    finishRead();

    EXPECT_THAT(lines(), ::testing::ElementsAre("CTRL 40 00 0000 0000 0",           //
                                                "CTRL 40 03 0034 0001 2 3400",      //
                                                "CTRL c0 90 0000 0000 1 ab",        //
                                                "CTRL 80 06 0300 0000 4 04030904",  //
                                                "OUT 02 4 3b61300d",                //
                                                "IN 81 4 01603a41",                 //
                                                "IN 81 0"));
}

TEST_F(UsbTraceTest, EmptyPathStopsTheTrace) {
    Platform::UsbPortRegistration::trace().setFile("");
    ULONG moved = 0;
    WINUSB_SETUP_PACKET reset{0x40, 0x00, 0x0000, 0x0000, 0};
    WinUsb_ControlTransfer(usb, reset, nullptr, 0, &moved, nullptr);
    EXPECT_TRUE(lines().empty());
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane
