#include <cstdlib>

namespace {

// The application tests plug tables into the simulated bus: select it before anything touches
// the USB host (an existing choice is kept).
const bool kSimulatedBusSelected = [] { return setenv("ORBIZO3_SIMULATOR", "0", 0) == 0; }();

}  // namespace

// Qt Core is not built with ThreadSanitizer: the slow path of a contended QReadWriteLock
// synchronises through atomics the sanitizer cannot see, which it reports as races inside the
// lock itself. Everything our code does under the lock stays checked.
extern "C" const char* __tsan_default_suppressions() {
    return "race:QReadWriteLock\n";
}
