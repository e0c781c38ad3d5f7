#include "platform/usbhost/UsbHost.h"

#include <cstdlib>

#include "platform/usbhost/libusb/LibusbUsbHost.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"

namespace Korvane {
namespace Platform {

namespace {

UsbHost& chooseHost() {
    if (usesSimulatedBus()) return SimulatedUsbBus::instance();
    // Real tables through libusb; without USB on this machine it simply has no devices.
    static LibusbUsbHost* libusb = new LibusbUsbHost;
    return *libusb;
}

}  // namespace

bool usesSimulatedBus() {
    return std::getenv("ORBIZO3_SIMULATOR") != nullptr;
}

UsbHost& usbHost() {
    static UsbHost& host = chooseHost();
    return host;
}

}  // namespace Platform
}  // namespace Korvane
