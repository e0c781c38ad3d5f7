#include "cli/ListCommand.h"

#include <QObject>

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

QString ListCommand::name() const {
    return "list";
}

QString ListCommand::description() const {
    return "List the connected tables: device path, serial number, firmware version "
           "(and \"simulated\" for simulated tables).";
}

void ListCommand::configure(QCommandLineParser&) const {}

QString ListCommand::checkArguments(const QStringList& arguments) const {
    return arguments.isEmpty() ? QString() : "list takes no arguments.";
}

int ListCommand::run(const QCommandLineParser& parser, const QStringList&, std::ostream& out,
                     std::ostream& err) {
    const DeviceSelection selection(parser);
    if (!selection.usable(err)) return Failed;
    const QStringList paths = selection.presentTables();
    if (paths.isEmpty()) {
        out << QObject::tr("No OrbiZo3 connected").toStdString() << "\n";
        return Done;
    }
    for (const QString& path : paths) {
        QString serial = "-";
        QString version = "-";
        try {
            DeviceConnection connection(path);
            const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
            serial = info.serialNumber;
            if (info.firmwareVersion() != 0) version = info.versionText();
        } catch (const MessageException& failure) {
            UserMessage::print(err, failure, QString());
        }
        QString line = path + '\t' + serial + '\t' + version;
        // A fourth column marks simulated tables, so that nobody takes them for real ones.
        if (Korvane::Platform::usesSimulatedBus()) line += "\tsimulated";
        out << line.toStdString() << std::endl;
    }
    return Done;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
