#include <cstdlib>

namespace {

// The notification tests plug devices into the simulated bus: select it before anything
// touches the USB host (an existing choice is kept).
const bool kSimulatedBusSelected = [] { return setenv("ORBIZO3_SIMULATOR", "0", 0) == 0; }();

}  // namespace
