#include "simulator/SimulatorEnvironment.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace Korvane {
namespace Simulator {

unsigned SimulatorEnvironment::tableCount(const char* value) {
    if (value == nullptr) return 0;
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || n < 0 || n > static_cast<long>(kMaxTables)) return 1;
    return static_cast<unsigned>(n);
}

std::string SimulatorEnvironment::serialNumber(unsigned index) {
    char text[16];
    std::snprintf(text, sizeof text, "OZ3S%06u", index % 1000000u);
    return text;
}

std::vector<std::shared_ptr<SimulatedTable>> SimulatorEnvironment::plugTablesFromEnvironment() {
    static std::mutex mutex;
    static bool done = false;
    static std::vector<std::shared_ptr<SimulatedTable>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    if (!done) {
        done = true;
        const unsigned count = tableCount(std::getenv("ORBIZO3_SIMULATOR"));
        for (unsigned i = 1; i <= count; ++i) {
            tables.push_back(SimulatedTable::create(serialNumber(i)));
            tables.back()->plug();
        }
    }
    return tables;
}

}  // namespace Simulator
}  // namespace Korvane
