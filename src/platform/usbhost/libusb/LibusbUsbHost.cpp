#ifndef _WIN32

#include "platform/usbhost/libusb/LibusbUsbHost.h"

#include "platform/usbhost/libusb/LibusbContext.h"
#include "platform/usbhost/libusb/LibusbDeviceSession.h"

namespace Korvane {
namespace Platform {

LibusbUsbHost::LibusbUsbHost() : context(std::make_shared<LibusbContext>()) {}

LibusbUsbHost::~LibusbUsbHost() = default;

bool LibusbUsbHost::usable() const {
    return context->usable();
}

std::vector<UsbDeviceInfo> LibusbUsbHost::presentDevices() {
    return context->presentDevices();
}

UsbError LibusbUsbHost::open(const std::string& instanceId,
                             std::unique_ptr<UsbDeviceSession>& session) {
    return LibusbDeviceSession::open(context, instanceId, session);
}

std::uint64_t LibusbUsbHost::subscribe(HotplugCallback callback) {
    return context->subscribe(std::move(callback));
}

void LibusbUsbHost::unsubscribe(std::uint64_t id) {
    context->unsubscribe(id);
}

}  // namespace Platform
}  // namespace Korvane

#endif  // _WIN32
