#include "cli/InfoCommand.h"

#include <QJsonObject>

#include "cli/DeviceSelection.h"
#include "cli/ExitCode.h"
#include "cli/JsonOutput.h"
#include "cli/TableChoice.h"
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

// The version text, or null for a table without a valid application (version word 0).
QJsonValue InfoCommand::versionJson(const DeviceInfo& info) {
    return info.firmwareVersion() == 0 ? QJsonValue() : QJsonValue(info.versionText());
}

QString InfoCommand::name() const {
    return "info";
}

QString InfoCommand::description() const {
    return "Show the serial number, firmware version and converter latency timer of the table.";
}

void InfoCommand::configure(QCommandLineParser&) const {}

QString InfoCommand::checkArguments(const QStringList& arguments) const {
    return arguments.isEmpty() ? QString() : "info takes no arguments.";
}

int InfoCommand::run(const QCommandLineParser& parser,
                     const Korvane::Utilities::RunSettings& settings, const QStringList&,
                     std::ostream& out, std::ostream& err) {
    const bool json = JsonOutput::requested(parser);
    const DeviceSelection selection(parser, settings);
    if (!JsonOutput::usable(selection, json, out, err)) return Failed;
    const TableChoice choice(parser, selection);
    if (choice.ambiguous()) return choice.refuse(json, out, err);
    try {
        choice.requireTable();
        DeviceConnection connection(choice.devicePath(), settings);
        const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
        const QString version = info.firmwareVersion() == 0 ? "-" : info.versionText();
        const bool simulated = settings.simulated();
        if (json) {
            JsonOutput::write(out, QJsonObject{{"device", choice.devicePath()},
                                               {"serial_number", info.serialNumber},
                                               {"firmware_version", versionJson(info)},
                                               {"latency_timer_ms", info.latencyTimerMs},
                                               {"simulated", simulated}});
        } else {
            out << "Serial number: " << info.serialNumber.toStdString() << "\n"
                << "Firmware version: " << version.toStdString() << "\n"
                << "Latency timer: " << static_cast<int>(info.latencyTimerMs) << " ms" << std::endl;
            if (simulated) out << "Simulated table (ORBIZO3_SIMULATOR is set)" << std::endl;
        }
    } catch (...) {
        const UserFailure failure = UserFailure::fromCurrentException();
        if (json) {
            JsonOutput::write(out, JsonOutput::error(failure, QString()));
        } else {
            UserMessage::print(err, failure, QString());
        }
        return Failed;
    }
    return Done;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
