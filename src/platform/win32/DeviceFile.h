#pragma once

#ifndef _WIN32

#include <memory>
#include <mutex>

#include "platform/usbhost/UsbHost.h"
#include "platform/win32/Win32Object.h"

namespace Korvane {
namespace Platform {

// What CreateFileW returns for a device path: the device's open session. Closing the handle
// ends the session (pending transfers cancelled, device released) as soon as no call on
// another thread is still using it.
class DeviceFile : public Win32Object {
public:
    explicit DeviceFile(std::unique_ptr<UsbDeviceSession> session);

    // Null once the handle is closed.
    std::shared_ptr<UsbDeviceSession> session();
    void release() override;

private:
    std::mutex mutex;
    std::shared_ptr<UsbDeviceSession> openSession;
};

}  // namespace Platform
}  // namespace Korvane

#endif
