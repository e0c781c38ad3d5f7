#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"

namespace {

// The notification tests plug devices into the simulated bus: select it before anything
// touches the USB host (an existing choice is kept).
const bool kSimulatedBusRegistered = [] {
    Korvane::Platform::UsbPortRegistration::install(Korvane::Platform::SimulatedUsbBus::instance(),
                                                    "");
    return true;
}();

}  // namespace
