#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "platform/win32/Win32.h"
#include "support/ScriptedUsbDevice.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Testing {

constexpr std::uint16_t kVendor = ::Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId;
constexpr std::uint16_t kProduct = ::Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId;

// Tests of the Win32 calls over the simulated bus: each test plugs its scripted devices and
// finds everything unplugged again at the end.
class SimulatedBusTest : public ::testing::Test {
protected:
    void TearDown() override { Platform::SimulatedUsbBus::instance().unplugAll(); }

    std::shared_ptr<ScriptedUsbDevice> plug(const std::string& serial,
                                            std::uint16_t vendor = kVendor,
                                            std::uint16_t product = kProduct) {
        auto device = std::make_shared<ScriptedUsbDevice>(vendor, product, serial);
        Platform::SimulatedUsbBus::instance().plug(device);
        return device;
    }

    static void unplug(const std::string& serial) {
        Platform::SimulatedUsbBus::instance().unplug(serial);
    }

    static std::wstring pathOf(const std::string& serial) {
        const std::string path = devicePathFor(serial);
        return std::wstring(path.begin(), path.end());
    }
};

// A device opened the way the USB code opens it: CreateFileW on its path, WinUsb_Initialize.
class OpenDeviceTest : public SimulatedBusTest {
protected:
    void SetUp() override {
        device = plug("SER-A");
        file = CreateFileW(pathOf("SER-A").c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
        ASSERT_TRUE(WinUsb_Initialize(file, &usb)) << GetLastError();
        overlapped = OVERLAPPED{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }

    void TearDown() override {
        if (usb) WinUsb_Free(usb);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        CloseHandle(overlapped.hEvent);
        SimulatedBusTest::TearDown();
    }

    // Starts an overlapped read of up to length bytes from 0x81 into buffer.
    void startRead(ULONG length = 64) {
        buffer.assign(length, 0);
        ULONG transferred = 0;
        ASSERT_FALSE(WinUsb_ReadPipe(usb, 0x81, buffer.data(), length, &transferred, &overlapped));
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }

    // The outcome of the read started last: (error, bytes read).
    std::pair<DWORD, Bytes> finishRead() {
        DWORD transferred = 0;
        BOOL ok = WinUsb_GetOverlappedResult(usb, &overlapped, &transferred, TRUE);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        return {error, Bytes(buffer.begin(), buffer.begin() + transferred)};
    }

    std::shared_ptr<ScriptedUsbDevice> device;
    HANDLE file = INVALID_HANDLE_VALUE;
    WINUSB_INTERFACE_HANDLE usb = nullptr;
    OVERLAPPED overlapped{};
    Bytes buffer;
};

}  // namespace Testing
}  // namespace Korvane
