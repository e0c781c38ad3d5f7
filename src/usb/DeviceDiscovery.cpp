#include "usb/DeviceDiscovery.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>

#include <boost/tokenizer.hpp>

#include "platform/win32/Win32.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

namespace {

// The DevicePath of the detail record at the start of buffer, narrowed character by character;
// stops at the terminating zero or at the end of the buffer.
std::string narrowDevicePath(const std::vector<std::uint8_t>& buffer) {
    const std::size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    const auto* detail = reinterpret_cast<const SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    const WCHAR* characters = detail->DevicePath;
    const std::size_t capacity = (buffer.size() - offset) / sizeof(WCHAR);
    std::string path;
    for (std::size_t i = 0; i < capacity && characters[i] != 0; ++i) {
        path += static_cast<char>(characters[i]);
    }
    return path;
}

// The device path of one enumerated interface; empty when it cannot be read.
std::string interfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &required, nullptr);
    if (required == 0) return std::string();
    // Never smaller than the fixed part, whose cbSize is written below.
    std::vector<std::uint8_t> buffer(
        std::max<std::size_t>(required, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)), 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail,
                                          static_cast<DWORD>(buffer.size()), nullptr, nullptr)) {
        return std::string();
    }
    return narrowDevicePath(buffer);
}

}  // namespace

std::vector<std::string> findDevicePaths(std::uint32_t vendorId, std::uint32_t productId) {
    std::vector<std::string> paths;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USB_DEVICE, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return paths;

    SP_DEVICE_INTERFACE_DATA interfaceData;
    for (DWORD index = 0;; ++index) {
        interfaceData = SP_DEVICE_INTERFACE_DATA();
        interfaceData.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_USB_DEVICE, index,
                                         &interfaceData)) {
            break;
        }
        const std::string path = interfacePath(set, interfaceData);
        std::uint32_t vendor = 0;
        std::uint32_t product = 0;
        if (parseVendorProduct(path, vendor, product) && vendor == vendorId &&
            product == productId) {
            paths.push_back(path);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

bool parseVendorProduct(const std::string& devicePath, std::uint32_t& vendorId,
                        std::uint32_t& productId) {
    using Pieces = boost::tokenizer<boost::char_separator<char>>;
    const boost::char_separator<char> separator("#");
    const Pieces pieces(devicePath, separator);
    auto piece = pieces.begin();
    if (piece == pieces.end() || ++piece == pieces.end()) return false;

    std::string identifiers = *piece;
    for (char& c : identifiers) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    unsigned int vendor = 0;
    unsigned int product = 0;
    if (std::sscanf(identifiers.c_str(), "vid_%x&pid_%x", &vendor, &product) != 2) return false;
    vendorId = vendor;
    productId = product;
    return true;
}

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
