#pragma once

#ifndef _WIN32

#include <string>

#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Platform {

// The Windows device interface path of a present USB device:
// \\?\usb#vid_xxxx&pid_xxxx#INSTANCE#{a5dcbf10-6530-11d2-901f-00c04fb951ed}
std::wstring usbDevicePath(const UsbDeviceInfo& device);

// The present device that path names (compared without regard to case, as Windows does).
bool findDeviceByPath(UsbHost& host, const wchar_t* path, UsbDeviceInfo& device);

}  // namespace Platform
}  // namespace Korvane

#endif
