// orbizo3-cli: the scriptable front end of the OrbiZo3 firmware updater.
#include <QCoreApplication>
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

using namespace Korvane::DeviceDriver::OrbiZo::Cli;

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
    dispatcher.addGlobalOption(JsonOutput::option());
    dispatcher.addGlobalOption(HistoryCommand::historyOption());
    dispatcher.addCommand(std::make_unique<ListCommand>());
    dispatcher.addCommand(std::make_unique<InfoCommand>());
    dispatcher.addCommand(std::make_unique<UpdateCommand>(std::cin));
    dispatcher.addCommand(std::make_unique<CheckCommand>());
    dispatcher.addCommand(std::make_unique<VerifyCommand>(std::cin));
    dispatcher.addCommand(std::make_unique<HistoryCommand>());
    return dispatcher.run(QCoreApplication::arguments(), std::cout, std::cerr);
}
