#pragma once

// The answer faults armed on one table, and which of them fires on a command.

#include <string>
#include <vector>

#include "simulator/Fault.h"

namespace Korvane {
namespace Simulator {

class FaultPlan {
public:
    void arm(const Fault& fault);
    void clear() { armed.clear(); }

    // Counts the command against every armed fault whose code matches; the first one that
    // reaches its occurrence fires and is copied to `fired` (and disarmed unless it fires
    // every time). False when none fires.
    bool match(const std::string& code, Fault& fired);

private:
    struct Armed {
        Fault fault;
        unsigned seen = 0;
    };
    std::vector<Armed> armed;
};

}  // namespace Simulator
}  // namespace Korvane
