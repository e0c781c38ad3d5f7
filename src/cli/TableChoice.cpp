#include "cli/TableChoice.h"

#include <QJsonArray>

#include "cli/DeviceSelection.h"
#include "cli/ExitCode.h"
#include "cli/JsonOutput.h"
#include "communication/OrbiTableComManager.h"
#include "firmware/DeviceConnection.h"
#include "utilities/MessageException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using Firmware::DeviceConnection;

namespace {
const char* const kAmbiguous =
    "More than one OrbiZo3 is connected; choose one with --device PATH or --device SERIAL";
}

TableChoice::TableChoice(const QCommandLineParser& parser, const DeviceSelection& selection) {
    const QString requested = parser.value("device");
    const QStringList present = selection.presentTables();
    if (requested.isEmpty()) {
        if (present.size() == 1) path = present.first();
        if (present.size() > 1) {
            for (const QString& table : present)
                candidates << Table{table, serialNumberOf(table, selection.settings())};
        }
        return;
    }
    for (const QString& table : present) {
        if (table.compare(requested, Qt::CaseInsensitive) == 0) {
            path = table;
            return;
        }
    }
    for (const QString& table : present) {
        const QString serialNumber = serialNumberOf(table, selection.settings());
        if (serialNumber == requested) {
            path = table;
            return;
        }
        if (serialNumber == "-") ++silent;
    }
    missing = requested;
}

void TableChoice::requireTable() const {
    if (!path.isEmpty()) return;
    // The facade's own texts for a missing table; the detail tells which one.
    MessageException failure = DeviceConnection::noTableConnected();
    if (!missing.isEmpty())
        failure.detail =
            "No OrbiZo3 with the device path or serial number '" + missing + "' is connected";
    // One of them may be the table asked for: `list` tells why it does not answer.
    if (silent > 0)
        failure.detail +=
            QString("; %1 connected OrbiZo3 gave no serial number ('orbizo3-cli list' tells why)")
                .arg(silent);
    throw failure;
}

int TableChoice::refuse(bool json, std::ostream& out, std::ostream& err) const {
    if (json) {
        QJsonArray tables;
        QStringList detail;
        for (const Table& table : candidates) {
            tables.append(
                QJsonObject{{"device", table.path}, {"serial_number", table.serialNumber}});
            detail << table.path + ' ' + table.serialNumber;
        }
        JsonOutput::write(out, JsonOutput::error(0, QString(kAmbiguous) + '.', detail.join("; "),
                                                 QJsonObject{{"tables", tables}}));
        return UsageError;
    }
    err << kAmbiguous << ":\n";
    for (const Table& table : candidates)
        err << (table.path + '\t' + table.serialNumber).toStdString() << "\n";
    err << std::flush;
    return UsageError;
}

QString TableChoice::serialNumberOf(const QString& devicePath,
                                    const Korvane::Utilities::RunSettings& settings) {
    try {
        DeviceConnection connection(devicePath, settings);
        return QString::fromStdString(connection.manager()->serialNumber());
    } catch (...) {
        // A table that does not say is listed without its serial number.
    }
    return "-";
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
