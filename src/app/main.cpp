#include <memory>
#include <vector>

#include "app/UpdaterApplication.h"
#include "simulator/SimulatorEnvironment.h"

int main(int argc, char* argv[]) {
    UpdaterApplication application(argc, argv);
    // With ORBIZO3_SIMULATOR set, the window sees simulated tables instead of USB; they stay
    // plugged in until the program ends.
    const auto simulatedTables =
        Korvane::Simulator::SimulatorEnvironment::plugTablesFromEnvironment();
    return application.run();
}
