#pragma once

#ifndef _WIN32

#include <cstdint>

#include "platform/win32/Win32.h"
#include "platform/win32/Win32Object.h"

namespace Korvane {
namespace Platform {

// What RegisterDeviceNotificationW returns: a hotplug subscription on the USB host that posts
// WM_DEVICECHANGE to one window. Closing it ends the subscription.
class DeviceNotification : public Win32Object {
public:
    DeviceNotification(HWND window, const GUID& interfaceClass, bool allClasses);
    void release() override;

private:
    std::uint64_t subscription = 0;
};

}  // namespace Platform
}  // namespace Korvane

#endif
