#ifndef _WIN32

#include "platform/usbhost/UsbDevicePath.h"

#include <cstdio>
#include <cwctype>

namespace Korvane {
namespace Platform {

namespace {

std::wstring lowerCase(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

}  // namespace

std::wstring usbDevicePath(const UsbDeviceInfo& device) {
    char head[48];
    std::snprintf(head, sizeof head, "\\\\?\\usb#vid_%04x&pid_%04x#", device.vendorId,
                  device.productId);
    std::string narrow =
        std::string(head) + device.instanceId + "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    return std::wstring(narrow.begin(), narrow.end());
}

bool findDeviceByPath(UsbHost& host, const wchar_t* path, UsbDeviceInfo& device) {
    if (path == nullptr) return false;
    std::wstring wanted = lowerCase(path);
    for (const UsbDeviceInfo& present : host.presentDevices()) {
        if (lowerCase(usbDevicePath(present)) == wanted) {
            device = present;
            return true;
        }
    }
    return false;
}

}  // namespace Platform
}  // namespace Korvane

#endif
