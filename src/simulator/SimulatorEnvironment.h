#pragma once

// Plugs the simulated tables a program is asked for: ORBIZO3_SIMULATOR=N puts N tables on
// SimulatedUsbBus::instance() (N from 0 to 64; an empty or unreadable value means 1). Their
// serial numbers are OZ3S000001, OZ3S000002, ... so that every run sees the same tables.
// The CLI and the GUI call this once at start; a later call plugs nothing new and returns the
// same tables. Without the variable nothing is plugged.

#include <memory>
#include <string>
#include <vector>

#include "simulator/SimulatedTable.h"

namespace Korvane {
namespace Simulator {

class SimulatorEnvironment {
public:
    static constexpr unsigned kMaxTables = 64;

    static std::vector<std::shared_ptr<SimulatedTable>> plugTablesFromEnvironment();

    // How many tables a value of ORBIZO3_SIMULATOR asks for (null: the variable is unset).
    static unsigned tableCount(const char* value);
    static std::string serialNumber(unsigned index);  // index from 1
};

}  // namespace Simulator
}  // namespace Korvane
