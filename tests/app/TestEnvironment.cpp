#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"

namespace {

// The application tests plug tables into the simulated bus: registered before anything
// touches the USB host.
const bool kSimulatedBusRegistered = [] {
    Korvane::Platform::UsbPortRegistration::install(Korvane::Platform::SimulatedUsbBus::instance(),
                                                    "");
    return true;
}();

}  // namespace
