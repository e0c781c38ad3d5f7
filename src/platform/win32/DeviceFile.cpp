#ifndef _WIN32

#include "platform/win32/DeviceFile.h"

namespace Korvane {
namespace Platform {

DeviceFile::DeviceFile(std::unique_ptr<UsbDeviceSession> session)
    : Win32Object(Win32ObjectKind::DeviceFile), openSession(std::move(session)) {}

std::shared_ptr<UsbDeviceSession> DeviceFile::session() {
    std::lock_guard<std::mutex> lock(mutex);
    return openSession;
}

void DeviceFile::release() {
    std::shared_ptr<UsbDeviceSession> closing;
    {
        std::lock_guard<std::mutex> lock(mutex);
        closing.swap(openSession);
    }
    // Destroyed here, outside the lock, unless a call in flight still holds it.
}

}  // namespace Platform
}  // namespace Korvane

#endif
