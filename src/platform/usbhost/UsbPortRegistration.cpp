#include "platform/usbhost/UsbPortRegistration.h"

#include <atomic>

#include "platform/usbhost/libusb/LibusbUsbHost.h"

namespace Korvane {
namespace Platform {

namespace {

struct Registration {
    std::atomic<UsbHost*> host{nullptr};
    UsbTrace trace;
};

// Never destroyed: threads of the USB layer may still trace while the process ends.
Registration& registration() {
    static Registration* registered = new Registration;
    return *registered;
}

}  // namespace

void UsbPortRegistration::install(UsbHost& host, const std::string& traceFile) {
    registration().host = &host;
    registration().trace.setFile(traceFile);
}

UsbHost& UsbPortRegistration::host() {
    UsbHost* host = registration().host;
    return host != nullptr ? *host : libusbHost();
}

UsbTrace& UsbPortRegistration::trace() {
    return registration().trace;
}

UsbHost& UsbPortRegistration::libusbHost() {
    static LibusbUsbHost* libusb = new LibusbUsbHost;
    return *libusb;
}

}  // namespace Platform
}  // namespace Korvane
