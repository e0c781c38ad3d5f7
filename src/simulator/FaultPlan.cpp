#include "simulator/FaultPlan.h"

namespace Korvane {
namespace Simulator {

void FaultPlan::arm(const Fault& fault) {
    armed.push_back(Armed{fault, 0});
}

bool FaultPlan::match(const std::string& code, Fault& fired) {
    bool found = false;
    for (auto it = armed.begin(); it != armed.end();) {
        if (!it->fault.code.empty() && it->fault.code != code) {
            ++it;
            continue;
        }
        ++it->seen;
        const bool due = it->fault.occurrence == 0 || it->seen == it->fault.occurrence;
        if (!due || found) {
            ++it;
            continue;
        }
        found = true;
        fired = it->fault;
        it = it->fault.occurrence == 0 ? it + 1 : armed.erase(it);
    }
    return found;
}

}  // namespace Simulator
}  // namespace Korvane
