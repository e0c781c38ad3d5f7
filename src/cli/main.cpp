// orbizo3-cli: the scriptable front end of the OrbiZo3 firmware updater.
#include <QCoreApplication>
#include <QProcessEnvironment>
#include <csignal>
#include <iostream>
#include <memory>

#include "cli/CheckCommand.h"
#include "cli/CommandDispatcher.h"
#include "cli/DeviceSelection.h"
#include "cli/HistoryCommand.h"
#include "cli/InfoCommand.h"
#include "cli/JsonOutput.h"
#include "cli/ListCommand.h"
#include "cli/UpdateCommand.h"
#include "cli/VerifyCommand.h"
#include "simulator/SimulatorEnvironment.h"
#include "utilities/RunSettings.h"

using namespace Korvane::DeviceDriver::OrbiZo::Cli;
using Korvane::Simulator::SimulatorEnvironment;
using Korvane::Utilities::RunSettings;

int main(int argc, char** argv) {
    // A reader that goes away (a closed pipe) must not kill an update half-way; writes to it
    // fail instead.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("orbizo3-cli");
    QCoreApplication::setApplicationVersion(ORBIZO3_VERSION);

    CommandDispatcher dispatcher("OrbiZo3 firmware updater for scripts and service benches.");
    for (const QCommandLineOption& option : DeviceSelection::globalOptions())
        dispatcher.addGlobalOption(option);
    dispatcher.setGlobalOptionCheck(&DeviceSelection::optionProblem);
    // The only reading of the environment: the run's settings are the environment's under the
    // command line's options. Starting up registers their USB host and trace and plugs the
    // simulated tables, which stay plugged until the program ends.
    const RunSettings environment =
        RunSettings::fromEnvironment(QProcessEnvironment::systemEnvironment());
    dispatcher.setRunSettings(
        [&environment](const QCommandLineParser& parser) {
            return DeviceSelection::runSettings(parser, environment);
        },
        [](const RunSettings& settings) { SimulatorEnvironment::start(settings); });
    dispatcher.addGlobalOption(JsonOutput::option());
    dispatcher.addCommand(std::make_unique<ListCommand>());
    dispatcher.addCommand(std::make_unique<InfoCommand>());
    dispatcher.addCommand(std::make_unique<UpdateCommand>(std::cin));
    dispatcher.addCommand(std::make_unique<CheckCommand>());
    dispatcher.addCommand(std::make_unique<VerifyCommand>(std::cin));
    dispatcher.addCommand(std::make_unique<HistoryCommand>());
    return dispatcher.run(QCoreApplication::arguments(), std::cout, std::cerr);
}
