#pragma once

#ifndef _WIN32

#include <vector>

#include "platform/usbhost/UsbHost.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Object.h"

namespace Korvane {
namespace Platform {

// What SetupDiGetClassDevsW returns: the device interfaces of one class present at that moment.
class DeviceInfoSet : public Win32Object {
public:
    DeviceInfoSet(const GUID& interfaceClass, std::vector<UsbDeviceInfo> devices)
        : Win32Object(Win32ObjectKind::DeviceInfoSet),
          interfaceClass(interfaceClass),
          devices(std::move(devices)) {}

    const GUID interfaceClass;
    const std::vector<UsbDeviceInfo> devices;  // arrival order
};

}  // namespace Platform
}  // namespace Korvane

#endif
