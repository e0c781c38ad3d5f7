#include "cli/ListCommand.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>

#include "cli/DeviceSelection.h"
#include "cli/ExitCode.h"
#include "cli/InfoCommand.h"
#include "cli/JsonOutput.h"
#include "cli/UserMessage.h"
#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/UserFailure.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using Firmware::DeviceConnection;
using Firmware::DeviceInfo;
using Firmware::OrbiZo3FWUpdater;

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

int ListCommand::run(const QCommandLineParser& parser,
                     const Korvane::Utilities::RunSettings& settings, const QStringList&,
                     std::ostream& out, std::ostream& err) {
    const bool json = JsonOutput::requested(parser);
    const DeviceSelection selection(parser, settings);
    if (!JsonOutput::usable(selection, json, out, err)) return Failed;
    const QStringList paths = selection.presentTables();
    if (json) return listJson(paths, settings, out);
    if (paths.isEmpty()) {
        out << QObject::tr("No OrbiZo3 connected").toStdString() << "\n";
        return Done;
    }
    for (const QString& path : paths) {
        QString serial = "-";
        QString version = "-";
        try {
            DeviceConnection connection(path, settings);
            const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
            serial = info.serialNumber;
            if (info.firmwareVersion() != 0) version = info.versionText();
        } catch (...) {
            UserMessage::print(err, UserFailure::fromCurrentException(), QString());
        }
        QString line = path + '\t' + serial + '\t' + version;
        // A fourth column marks simulated tables, so that nobody takes them for real ones.
        if (settings.simulated()) line += "\tsimulated";
        out << line.toStdString() << std::endl;
    }
    return Done;
}

// {"tables": [{"device", "serial_number", "firmware_version", "simulated"}, ...]}; a table
// that cannot be identified has null values and its "error".
int ListCommand::listJson(const QStringList& paths, const Korvane::Utilities::RunSettings& settings,
                          std::ostream& out) {
    QJsonArray tables;
    for (const QString& path : paths) {
        QJsonObject table{{"device", path},
                          {"serial_number", QJsonValue()},
                          {"firmware_version", QJsonValue()},
                          {"simulated", settings.simulated()}};
        try {
            DeviceConnection connection(path, settings);
            const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
            table.insert("serial_number", info.serialNumber);
            table.insert("firmware_version", InfoCommand::versionJson(info));
        } catch (...) {
            table.insert(
                "error",
                JsonOutput::error(UserFailure::fromCurrentException(), QString()).value("error"));
        }
        tables.append(table);
    }
    JsonOutput::write(out, QJsonObject{{"tables", tables}});
    return Done;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
