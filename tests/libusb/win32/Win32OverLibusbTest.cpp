// The Win32 calls the USB code makes, answered by the libusb backend (registered as the
// process's USB host) over umockdev's fake kernel. The libusb host lives as long as the process,
// so this binary keeps one testbed for its whole run; each test plugs its own table at its own
// port and unplugs it again.

#include <gtest/gtest.h>
#include <umockdev.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "libusb/UsbfsBridge.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/win32/Win32.h"
#include "simulator/LineFormat.h"
#include "simulator/SimulatedTable.h"
#include "support/ScriptedUsbDevice.h"
#include "usb/USBNotification_WinUSB.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Platform {
namespace Testing {

namespace {

using ::Korvane::Testing::Bytes;
using ::Korvane::Testing::ScriptedUsbDevice;

UMockdevTestbed* testbed = nullptr;

// Created before the libusb host starts, kept to the end of the process like the host.
class FakeKernel : public ::testing::Environment {
public:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        if (!preload || !std::strstr(preload, "libumockdev-preload")) return;
        testbed = umockdev_testbed_new();
    }
};

const ::testing::Environment* const fakeKernel =
    ::testing::AddGlobalTestEnvironment(new FakeKernel);

std::wstring pathOf(const std::string& instanceId) {
    const std::string path = ::Korvane::Testing::devicePathFor(instanceId);
    return std::wstring(path.begin(), path.end());
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// Device interface paths SetupAPI lists for USB devices.
std::vector<std::string> listedPaths() {
    std::vector<std::string> paths;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USB_DEVICE, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return paths;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0;
         SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_DEVICE, i, &data); ++i) {
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
        std::vector<char> storage(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, nullptr))
            paths.push_back(narrow(detail->DevicePath));
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

bool listed(const std::string& instanceId) {
    for (const std::string& path : listedPaths())
        if (path == narrow(pathOf(instanceId))) return true;
    return false;
}

// Waits (bounded, against hangs) until the device list agrees.
bool waitUntilListed(const std::string& instanceId, bool present) {
    for (int i = 0; i < 1000; ++i) {
        if (listed(instanceId) == present) return true;
        Sleep(10);
    }
    return false;
}

class Win32OverLibusbTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testbed) GTEST_SKIP() << "runs only under umockdev-wrapper";
        // Started now, with the fake kernel in place.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::UsbPortRegistration::libusbHost(), "");
    }

    void TearDown() override {
        if (usb) WinUsb_Free(usb);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (overlapped.hEvent) CloseHandle(overlapped.hEvent);
        if (bridge && !unplugged) unplug();
        bridge.reset();
    }

    void plug(std::shared_ptr<SimulatedUsbDevice> device, const std::string& instanceId,
              int deviceNumber) {
        bridge = std::make_unique<UsbfsBridge>(testbed, device, instanceId, deviceNumber);
        ASSERT_TRUE(waitUntilListed(instanceId, true)) << instanceId << " never arrived";
    }

    void unplug() {
        unplugged = true;
        bridge->unplug();
    }

    void open(const std::string& instanceId) {
        file = CreateFileW(pathOf(instanceId).c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
        ASSERT_TRUE(WinUsb_Initialize(file, &usb)) << GetLastError();
        overlapped = OVERLAPPED{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }

    void configure() {
        const WINUSB_SETUP_PACKET requests[] = {{0x40, 0, 0x0000, 0, 0},
                                                {0x40, 0, 0x0001, 0, 0},
                                                {0x40, 0, 0x0002, 0, 0},
                                                {0x40, 3, 0x0034, 0, 0},
                                                {0x40, 4, 0x0008, 0, 0}};
        for (const WINUSB_SETUP_PACKET& request : requests) {
            ULONG moved = 0;
            ASSERT_TRUE(WinUsb_ControlTransfer(usb, request, nullptr, 0, &moved, nullptr))
                << GetLastError();
        }
    }

    void write(const std::string& text) {
        Bytes bytes(text.begin(), text.end());
        ULONG written = 0;
        ResetEvent(overlapped.hEvent);
        ASSERT_FALSE(WinUsb_WritePipe(usb, 0x02, bytes.data(), static_cast<ULONG>(bytes.size()),
                                      &written, &overlapped));
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        ASSERT_EQ(WaitForSingleObject(overlapped.hEvent, 10000), WAIT_OBJECT_0);
        DWORD transferred = 0;
        ASSERT_TRUE(WinUsb_GetOverlappedResult(usb, &overlapped, &transferred, TRUE));
        EXPECT_EQ(transferred, bytes.size());
    }

    void startRead() {
        buffer.assign(4096, 0);
        ULONG transferred = 0;
        ResetEvent(overlapped.hEvent);
        ASSERT_FALSE(WinUsb_ReadPipe(usb, 0x81, buffer.data(), 4096, &transferred, &overlapped));
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    }

    // (error, payload with the two status bytes of every packet removed)
    std::pair<DWORD, std::string> finishRead() {
        EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 10000), WAIT_OBJECT_0);
        DWORD transferred = 0;
        const BOOL ok = WinUsb_GetOverlappedResult(usb, &overlapped, &transferred, TRUE);
        const Bytes read(buffer.begin(), buffer.begin() + transferred);
        return {ok ? ERROR_SUCCESS : GetLastError(), ::Korvane::Testing::payloadOf(read)};
    }

    // Reads until a CR arrives (at most 50 reads): a read may end with the converter's status
    // bytes only, before the answer is there.
    std::string answerLine() {
        std::string answer;
        for (int reads = 0; reads < 50 && answer.find('\r') == std::string::npos; ++reads) {
            startRead();
            auto [error, payload] = finishRead();
            EXPECT_EQ(error, ERROR_SUCCESS);
            if (error != ERROR_SUCCESS) break;
            answer += payload;
        }
        return answer;
    }

    std::unique_ptr<UsbfsBridge> bridge;
    bool unplugged = false;
    HANDLE file = INVALID_HANDLE_VALUE;
    WINUSB_INTERFACE_HANDLE usb = nullptr;
    OVERLAPPED overlapped{};
    Bytes buffer;
};

TEST_F(Win32OverLibusbTest, SetupApiListsTheTableByPortChainAndCreateFileOpensItOnce) {
    plug(Simulator::SimulatedTable::create("OZ3S000101"), "3-2", 11);
    EXPECT_TRUE(listed("3-2"));
    open("3-2");

    HANDLE second = CreateFileW(pathOf("3-2").c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFileW(pathOf("3-9").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Win32OverLibusbTest, ConfiguredConverterCarriesACommandAndItsAnswer) {
    plug(Simulator::SimulatedTable::create("OZ3S000102"), "3-3", 12);
    open("3-3");
    configure();
    const std::string body = ";a1";
    write(body + Simulator::LineFormat::hex(Simulator::LineFormat::checksum(body), 2) + "\r");
    const std::string answer = answerLine();
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer[0], ':');
    EXPECT_NE(answer.find("0107"), std::string::npos) << answer;
}

TEST_F(Win32OverLibusbTest, ReadThatTimesOutIsAbortedAndTheNextExchangeIsClean) {
    auto table = std::make_shared<ScriptedUsbDevice>("ZO3-000103");
    table->answerLines(
        [](const std::string& line) { return line == "s0\r" ? std::string() : ":" + line; });
    plug(table, "3-4", 13);
    open("3-4");
    write("s0\r");
    startRead();
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 100), WAIT_TIMEOUT);
    EXPECT_TRUE(WinUsb_AbortPipe(usb, 0x81));
    auto [aborted, nothing] = finishRead();
    EXPECT_EQ(aborted, ERROR_OPERATION_ABORTED);
    EXPECT_EQ(nothing, "");

    write("a1\r");
    const std::string answer = answerLine();
    EXPECT_EQ(answer, ":a1\r");
}

TEST_F(Win32OverLibusbTest, UnplugDuringAPendingReadFailsItInsteadOfHanging) {
    auto table = std::make_shared<ScriptedUsbDevice>("ZO3-000104");
    plug(table, "3-5", 14);
    open("3-5");
    startRead();
    unplug();
    auto [error, payload] = finishRead();
    EXPECT_TRUE(error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_GEN_FAILURE) << error;
    EXPECT_EQ(payload, "");
    ASSERT_TRUE(waitUntilListed("3-5", false));
    ULONG moved = 0;
    WINUSB_SETUP_PACKET reset{0x40, 0, 0, 0, 0};
    EXPECT_FALSE(WinUsb_ControlTransfer(usb, reset, nullptr, 0, &moved, nullptr));
}

// Arrival and departure as the notification service of the USB code receives them: from the
// hidden window's WM_DEVICECHANGE, filtered by vendor and product.
TEST_F(Win32OverLibusbTest, ArrivalAndDepartureReachTheNotificationService) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<int, std::string>> events;
    // The libusb host lives as long as the process: the departure of an earlier test's table may
    // still be on its way. Only this test's table counts.
    const std::string path = narrow(pathOf("3-6"));
    auto service = std::make_shared<DeviceDriver::OrbiZo::USB::USBNotification_WinUSB>();
    service->start(
        {{DeviceDriver::OrbiZo::kOrbiZo3VendorId, DeviceDriver::OrbiZo::kOrbiZo3ProductId}},
        [&](std::uint32_t, std::uint32_t, std::int32_t event, const std::string& seen) {
            if (seen != path) return;
            std::lock_guard<std::mutex> lock(mutex);
            events.emplace_back(event, seen);
            changed.notify_all();
        });
    plug(Simulator::SimulatedTable::create("OZ3S000105"), "3-6", 15);
    unplug();
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(
            changed.wait_for(lock, std::chrono::seconds(10), [&] { return events.size() >= 2; }));
    }
    service->stop();
    EXPECT_EQ(events, (std::vector<std::pair<int, std::string>>{{1, path}, {0, path}}));
}

}  // namespace

}  // namespace Testing
}  // namespace Platform
}  // namespace Korvane
