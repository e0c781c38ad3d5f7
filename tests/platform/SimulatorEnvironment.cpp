#include <cstdlib>

// The process's USB host is chosen at its first use: these tests run on the simulated bus,
// with no table plugged at start.
namespace {

const bool simulatorSelected = setenv("ORBIZO3_SIMULATOR", "0", 1) == 0;

}  // namespace
