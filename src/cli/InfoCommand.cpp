#include "cli/InfoCommand.h"

#include "cli/DeviceSelection.h"
#include "cli/ExitCode.h"
#include "cli/UserMessage.h"
#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "platform/UsbHost.h"
#include "utilities/MessageException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

QString InfoCommand::name() const {
    return "info";
}

QString InfoCommand::description() const {
    return "Show the serial number and firmware version of the table.";
}

void InfoCommand::configure(QCommandLineParser&) const {}

QString InfoCommand::checkArguments(const QStringList& arguments) const {
    return arguments.isEmpty() ? QString() : "info takes no arguments.";
}

int InfoCommand::run(const QCommandLineParser& parser, const QStringList&, std::ostream& out,
                     std::ostream& err) {
    const DeviceSelection selection(parser);
    if (!selection.usable(err)) return Failed;
    try {
        DeviceConnection connection(selection.devicePath());
        const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
        const QString version = info.firmwareVersion() == 0 ? "-" : info.versionText();
        out << "Serial number: " << info.serialNumber.toStdString() << "\n"
            << "Firmware version: " << version.toStdString() << std::endl;
        if (Korvane::Platform::usesSimulatedBus())
            out << "Simulated table (ORBIZO3_SIMULATOR is set)" << std::endl;
    } catch (const MessageException& failure) {
        UserMessage::print(err, failure, QString());
        return Failed;
    }
    return Done;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
