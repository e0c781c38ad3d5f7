#include <QProcessEnvironment>

#include "app/UpdaterApplication.h"
#include "simulator/SimulatorEnvironment.h"
#include "utilities/RunSettings.h"

int main(int argc, char* argv[]) {
    UpdaterApplication application(argc, argv);
    // The only reading of the environment. With ORBIZO3_SIMULATOR set, the window sees
    // simulated tables instead of USB; they stay plugged in until the program ends.
    const auto settings =
        Korvane::Utilities::RunSettings::fromEnvironment(QProcessEnvironment::systemEnvironment());
    const auto simulatedTables = Korvane::Simulator::SimulatorEnvironment::start(settings);
    return application.run(settings);
}
