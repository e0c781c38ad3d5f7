#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "simulator/SimulatedTable.h"

namespace Korvane {
namespace Simulator {

// The fault that --simulated-fault (or ORBIZO3_SIMULATOR_FAULT) arms on one simulated table, so
// that a service bench with a failing table can be shown from the command line:
//   SERIAL:unplug-after:N     the table is pulled out as its (N+1)-th command line arrives
//   SERIAL:power-loss:SECTOR  power fails half-way through programming SECTOR (1, 4-14)
//   SERIAL:damaged:CODE       every answer to command CODE ("u7") has a wrong checksum
//   SERIAL:slow:CODE:MS       every answer to command CODE leaves MS (1-900) milliseconds late
// SimulatorEnvironment arms it as it plugs the tables, in every process that plugs them, so each
// child of a bench sees it on the same serial number and the window sees it too.
class SimulatedFaultSetting {
public:
    // Empty when `text` is one of the forms above; otherwise what is wrong.
    static QString problem(const QString& text);
    // Arms the fault of a usable `text` on the table with its serial number; nothing when `text`
    // is empty or no table has that serial number.
    static void arm(const QString& text,
                    const std::vector<std::shared_ptr<SimulatedTable>>& tables);
};

}  // namespace Simulator
}  // namespace Korvane
