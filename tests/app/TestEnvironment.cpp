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

// Qt Core is not built with ThreadSanitizer: the slow path of a contended QReadWriteLock
// synchronises through atomics the sanitizer cannot see, which it reports as races inside the
// lock itself. Everything our code does under the lock stays checked.
extern "C" const char* __tsan_default_suppressions() {
    return "race:QReadWriteLock\n";
}
