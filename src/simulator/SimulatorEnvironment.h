#pragma once

// What each program's main does with the USB part of its settings, once at start-up: registers
// the USB host they choose (the simulated bus or libusb) and the trace file with the Win32 port,
// and plugs the simulated tables they ask for on SimulatedUsbBus::instance(). Their serial
// numbers are OZ3S000001, OZ3S000002, ... so that every run sees the same tables; with the
// simulated timing mode they take as long as real tables, without it they move the settings'
// virtual clock (RunSettings::virtualClock) as they answer.

#include <memory>
#include <string>
#include <vector>

#include "simulator/SimulatedTable.h"
#include "utilities/RunSettings.h"

namespace Korvane {
namespace Simulator {

class SimulatorEnvironment {
public:
    // Registers and plugs as above; returns the plugged tables (none on the real host), which
    // stay on the bus until the process ends.
    static std::vector<std::shared_ptr<SimulatedTable>> start(
        const Korvane::Utilities::RunSettings& settings);

    // Plugs settings.simulatedTables() tables and arms settings.simulatedFault() on its table
    // (SimulatedFaultSetting), once per process: a later call plugs nothing new and returns the
    // same tables.
    static std::vector<std::shared_ptr<SimulatedTable>> plugTables(
        const Korvane::Utilities::RunSettings& settings);

    static std::string serialNumber(unsigned index);  // index from 1
};

}  // namespace Simulator
}  // namespace Korvane
