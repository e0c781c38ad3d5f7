#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/SimulatedBusFixture.h"

namespace Korvane {
namespace Testing {
namespace {

// Device paths of a class the way the USB code's discovery collects them.
std::vector<std::wstring> interfacePaths(const GUID& interfaceClass) {
    std::vector<std::wstring> paths;
    HDEVINFO set = SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &data);
         ++index) {
        DWORD required = 0;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(std::calloc(1, required));
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        EXPECT_TRUE(
            SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, nullptr));
        paths.push_back(detail->DevicePath);
        std::free(detail);
    }
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    return paths;
}

TEST_F(SimulatedBusTest, EnumeratesPresentDevicesInPlugOrder) {
    EXPECT_TRUE(interfacePaths(GUID_DEVINTERFACE_USB_DEVICE).empty());
    plug("ZZ-2");
    plug("AA-1", 0x0ABC, 0x0123);
    EXPECT_EQ(interfacePaths(GUID_DEVINTERFACE_USB_DEVICE),
              (std::vector<std::wstring>{
                  L"\\\\?\\usb#vid_1209&pid_7a03#ZZ-2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}",
                  L"\\\\?\\usb#vid_0abc&pid_0123#AA-1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"}));
    unplug("ZZ-2");
    EXPECT_EQ(interfacePaths(GUID_DEVINTERFACE_USB_DEVICE).size(), 1u);

    const GUID otherClass = {
        0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
    EXPECT_TRUE(interfacePaths(otherClass).empty());
}

TEST_F(SimulatedBusTest, DetailCallChecksSizes) {
    plug("SER-A");
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USB_DEVICE, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data - 1;
    EXPECT_FALSE(
        SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_DEVICE, 0, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
    data.cbSize = sizeof data;
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_DEVICE, 0, &data));
    EXPECT_EQ(data.InterfaceClassGuid, GUID_DEVINTERFACE_USB_DEVICE);

    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
    std::wstring path = pathOf("SER-A");
    EXPECT_EQ(required, sizeof(DWORD) + (path.size() + 1) * sizeof(WCHAR));

    std::vector<std::uint8_t> memory(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(memory.data());
    struct Case {
        const char* name;
        DWORD cbSize;
        DWORD size;
        DWORD error;
    } cases[] = {{"cbSize of the whole buffer", required, required, ERROR_INVALID_USER_BUFFER},
                 {"buffer one byte short", sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W), required - 1,
                  ERROR_INSUFFICIENT_BUFFER}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        detail->cbSize = c.cbSize;
        EXPECT_FALSE(
            SetupDiGetDeviceInterfaceDetailW(set, &data, detail, c.size, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), c.error);
    }
    SetupDiDestroyDeviceInfoList(set);
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(
        SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_DEVICE, 0, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane
