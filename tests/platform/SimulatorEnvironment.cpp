#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"

// These tests run on the simulated bus, with no table plugged at start.
namespace {

const bool kSimulatedBusRegistered = [] {
    Korvane::Platform::UsbPortRegistration::install(Korvane::Platform::SimulatedUsbBus::instance(),
                                                    "");
    return true;
}();

}  // namespace
