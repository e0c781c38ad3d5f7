#include "platform/usbhost/NullUsbHost.h"

#include "platform/win32/Win32.h"

namespace Korvane {
namespace Platform {

UsbError NullUsbHost::open(const std::string&, std::unique_ptr<UsbDeviceSession>&) {
    return ERROR_FILE_NOT_FOUND;
}

std::uint64_t NullUsbHost::subscribe(HotplugCallback callback) {
    return subscribers.add(std::move(callback));
}

void NullUsbHost::unsubscribe(std::uint64_t id) {
    subscribers.remove(id);
}

}  // namespace Platform
}  // namespace Korvane
