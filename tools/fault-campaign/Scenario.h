#pragma once

// One scenario of the fault campaign: how a simulated table misbehaves during an update of the
// embedded firmware. `arm` runs on the fresh table before the update; `atSector` runs as the
// update reaches a sector index (on the updating thread, before that sector is programmed).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "simulator/SimulatedTable.h"

namespace Korvane {
namespace Tools {

struct Scenario {
    std::string kind;  // the row of the summary table: "drop", "unplug", "silent", ...
    std::string name;  // kind and place: "drop u9 sector 8 (both tries)"
    std::function<void(Simulator::SimulatedTable&)> arm;
    int sector = -1;  // -1: no atSector
    std::function<void(Simulator::SimulatedTable&)> atSector;
    // The table leaves the bus during the update (unplug, power loss): a failure must be
    // reported as a disconnect.
    bool tableLeaves = false;
    // The table stays plugged in while its converter refuses writes: a failure must not be
    // reported as a disconnect.
    bool tableStays = false;
};

// The whole campaign: every answer fault x every command of the update x first, middle and
// last programmed sector, unplugs spread over the update, power loss in every programmed
// sector, a silent table, a streaming table, link glitches and a converter that refuses
// writes, refuses or ignores the latency timer or stalls its control requests.
std::vector<Scenario> allScenarios();

}  // namespace Tools
}  // namespace Korvane
