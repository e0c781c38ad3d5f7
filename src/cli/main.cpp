// orbizo3-cli: the scriptable front end of the OrbiZo3 firmware updater.
#include <QCoreApplication>
#include <iostream>
#include <memory>

#include "cli/CheckCommand.h"
#include "cli/CommandDispatcher.h"

using namespace Korvane::DeviceDriver::OrbiZo::Cli;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("orbizo3-cli");

    CommandDispatcher dispatcher("OrbiZo3 firmware updater for scripts and service benches.");
    dispatcher.addCommand(std::make_unique<CheckCommand>());
    return dispatcher.run(QCoreApplication::arguments(), std::cout, std::cerr);
}
