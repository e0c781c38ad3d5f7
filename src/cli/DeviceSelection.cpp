#include "cli/DeviceSelection.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "firmware/DeviceConnection.h"
#include "simulator/SimulatorEnvironment.h"
#include "usb/ConverterLatency.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using Firmware::DeviceConnection;

namespace {
const char* const kSimulatorVariable = "ORBIZO3_SIMULATOR";
const char* const kTraceVariable = "ORBIZO3_USB_TRACE";
const char* const kLatencyOption = "latency-timer";
const char* const kNoLatencyOption = "no-latency-timer";

// Decimal milliseconds from 1 to 255, nothing else.
bool parseLatencyTimer(const QString& text, std::uint8_t& milliseconds) {
    if (text.isEmpty() || text.size() > 3) return false;
    for (const QChar c : text) {
        if (c < '0' || c > '9') return false;
    }
    const unsigned value = text.toUInt();
    if (value < 1 || value > 255) return false;
    milliseconds = static_cast<std::uint8_t>(value);
    return true;
}

std::uint8_t latencyTimerOf(const QCommandLineParser& parser) {
    if (parser.isSet(kNoLatencyOption)) return USB::kKeepConverterLatencyTimer;
    std::uint8_t milliseconds = USB::kDefaultLatencyTimerMs;
    if (parser.isSet(kLatencyOption)) parseLatencyTimer(parser.value(kLatencyOption), milliseconds);
    return milliseconds;
}
}  // namespace

QList<QCommandLineOption> DeviceSelection::globalOptions() {
    return {
        QCommandLineOption("device",
                           "Device path or serial number of the OrbiZo3 (default: the only one "
                           "connected).",
                           "PATH|SERIAL"),
        QCommandLineOption("simulate", "Talk to a simulated OrbiZo3 instead of USB."),
        QCommandLineOption("trace", "Append every USB transfer to FILE.", "FILE"),
        QCommandLineOption("yes", "Answer every confirmation question with yes."),
        QCommandLineOption(kLatencyOption,
                           "Latency timer of the table's USB converter, 1 to 255 milliseconds "
                           "(default: 2).",
                           "MS"),
        QCommandLineOption(kNoLatencyOption,
                           "Leave the converter's latency timer at its own 16 milliseconds."),
    };
}

QString DeviceSelection::optionProblem(const QCommandLineParser& parser) {
    if (!parser.isSet(kLatencyOption)) return QString();
    if (parser.isSet(kNoLatencyOption))
        return "--latency-timer and --no-latency-timer exclude each other.";
    std::uint8_t unused = 0;
    if (!parseLatencyTimer(parser.value(kLatencyOption), unused))
        return "--latency-timer takes 1 to 255 milliseconds, not '" + parser.value(kLatencyOption) +
               "'.";
    return QString();
}

DeviceSelection::DeviceSelection(const QCommandLineParser& parser)
    : requestedPath(parser.value("device")), assumeYes(parser.isSet("yes")) {
    DeviceConnection::setLatencyTimer(latencyTimerOf(parser));
    // An explicit ORBIZO3_SIMULATOR (a number of tables) wins over --simulate's single table.
    if (parser.isSet("simulate")) ::setenv(kSimulatorVariable, "1", 0);
    if (parser.isSet("trace")) {
        const QString trace = parser.value("trace");
        const QByteArray tracePath = trace.toLocal8Bit();
        if (std::FILE* file = std::fopen(tracePath.constData(), "a")) {
            std::fclose(file);
        } else {
            traceProblem = QString("Cannot write USB trace file '%1': %2")
                               .arg(trace, QString::fromLocal8Bit(std::strerror(errno)));
        }
        ::setenv(kTraceVariable, tracePath.constData(), 1);
    }
    if (std::getenv(kSimulatorVariable)) plugSimulatedTables();
}

bool DeviceSelection::usable(std::ostream& err) const {
    if (traceProblem.isEmpty()) return true;
    err << traceProblem.toStdString() << std::endl;
    return false;
}

QStringList DeviceSelection::presentTables() const {
    QStringList paths;
    for (const std::string& path : USB::findDevicePaths(kOrbiZo3VendorId, kOrbiZo3ProductId))
        paths << QString::fromStdString(path);
    return paths;
}

QString DeviceSelection::devicePath() const {
    if (!requestedPath.isEmpty()) return requestedPath;
    const QStringList present = presentTables();
    return present.isEmpty() ? QString() : present.first();
}

void DeviceSelection::plugSimulatedTables() {
    // Plugs only once per process; the bus keeps the tables until the process ends.
    Korvane::Simulator::SimulatorEnvironment::plugTablesFromEnvironment();
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
