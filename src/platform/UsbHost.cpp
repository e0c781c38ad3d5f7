#include "platform/UsbHost.h"

#include <cstdlib>

#include "platform/NullUsbHost.h"
#include "platform/SimulatedUsbBus.h"

namespace Korvane {
namespace Platform {

namespace {

UsbHost& chooseHost() {
    if (std::getenv("ORBIZO3_SIMULATOR") != nullptr) return SimulatedUsbBus::instance();
    // Real tables: no backend yet.
    static NullUsbHost* none = new NullUsbHost;
    return *none;
}

}  // namespace

UsbHost& usbHost() {
    static UsbHost& host = chooseHost();
    return host;
}

}  // namespace Platform
}  // namespace Korvane
