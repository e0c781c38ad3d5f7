#include "cli/DeviceSelection.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "simulator/SimulatedFaultSetting.h"
#include "usb/ConverterLatency.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

using Korvane::Simulator::SimulatedFaultSetting;
using Korvane::Utilities::RunSettings;

namespace {
const char* const kTablesOption = "simulated-tables";
const char* const kHistoryOption = "history";
const char* const kNoHistoryOption = "no-history";
const char* const kLatencyOption = "latency-timer";
const char* const kNoLatencyOption = "no-latency-timer";
const char* const kFaultOption = "simulated-fault";

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

// Decimal table count from 0 to RunSettings::kMaxSimulatedTables, nothing else.
bool parseTableCount(const QString& text, unsigned& count) {
    if (text.isEmpty() || text.size() > 2) return false;
    for (const QChar c : text) {
        if (c < '0' || c > '9') return false;
    }
    count = text.toUInt();
    return count <= RunSettings::kMaxSimulatedTables;
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
        QCommandLineOption(kTablesOption, "Talk to N simulated tables (0 to 64) instead of USB.",
                           "N"),
        QCommandLineOption("simulator-timing",
                           "Simulated tables take as long as real ones to answer and update."),
        QCommandLineOption(kFaultOption,
                           "Arm a fault on one simulated table: SERIAL:unplug-after:N, "
                           "SERIAL:power-loss:SECTOR, SERIAL:damaged:CODE or SERIAL:slow:CODE:MS.",
                           "SERIAL:FAULT"),
        QCommandLineOption("trace", "Append every USB transfer to FILE.", "FILE"),
        QCommandLineOption("yes", "Answer every confirmation question with yes."),
        QCommandLineOption(kLatencyOption,
                           "Latency timer of the table's USB converter, 1 to 255 milliseconds "
                           "(default: 2).",
                           "MS"),
        QCommandLineOption(kNoLatencyOption,
                           "Leave the converter's latency timer at its own 16 milliseconds."),
        QCommandLineOption(kHistoryOption, "Keep the update history in FILE.", "FILE"),
        QCommandLineOption(kNoHistoryOption, "Keep no update history."),
    };
}

QString DeviceSelection::optionProblem(const QCommandLineParser& parser) {
    unsigned tables = 0;
    if (parser.isSet(kTablesOption) && !parseTableCount(parser.value(kTablesOption), tables))
        return "--simulated-tables takes 0 to 64 tables, not '" + parser.value(kTablesOption) +
               "'.";
    if (parser.isSet(kFaultOption)) {
        const QString problem = SimulatedFaultSetting::problem(parser.value(kFaultOption));
        if (!problem.isEmpty()) return problem;
    }
    if (parser.isSet(kHistoryOption) && parser.isSet(kNoHistoryOption))
        return "--history and --no-history exclude each other.";
    if (!parser.isSet(kLatencyOption)) return QString();
    if (parser.isSet(kNoLatencyOption))
        return "--latency-timer and --no-latency-timer exclude each other.";
    std::uint8_t unused = 0;
    if (!parseLatencyTimer(parser.value(kLatencyOption), unused))
        return "--latency-timer takes 1 to 255 milliseconds, not '" + parser.value(kLatencyOption) +
               "'.";
    return QString();
}

RunSettings DeviceSelection::runSettings(const QCommandLineParser& parser,
                                         RunSettings environment) {
    RunSettings settings = std::move(environment);
    unsigned tables = 1;
    if (parser.isSet(kTablesOption) && parseTableCount(parser.value(kTablesOption), tables))
        settings.useSimulatedTables(tables);
    else if (parser.isSet("simulate") && !settings.simulated())
        settings.useSimulatedTables(1);
    if (parser.isSet("simulator-timing")) settings.setSimulatorTiming(true);
    if (parser.isSet("trace")) settings.setTraceFile(parser.value("trace"));
    if (parser.isSet(kFaultOption)) settings.setSimulatedFault(parser.value(kFaultOption));
    settings.setLatencyTimerMs(latencyTimerOf(parser));
    if (parser.isSet(kHistoryOption)) settings.setHistoryFile(parser.value(kHistoryOption));
    if (parser.isSet(kNoHistoryOption)) settings.setHistoryFile(QString());
    return settings;
}

DeviceSelection::DeviceSelection(const QCommandLineParser& parser, const RunSettings& settings)
    : runWith(settings), requestedPath(parser.value("device")), assumeYes(parser.isSet("yes")) {
    if (parser.isSet("trace")) {
        const QString trace = settings.traceFile();
        if (std::FILE* file = std::fopen(trace.toLocal8Bit().constData(), "a")) {
            std::fclose(file);
        } else {
            traceProblem = QString("Cannot write USB trace file '%1': %2")
                               .arg(trace, QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
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

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
