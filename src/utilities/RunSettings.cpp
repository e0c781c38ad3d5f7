#include "utilities/RunSettings.h"

#include <QDir>
#include <cstdlib>

namespace Korvane {
namespace Utilities {

namespace {
const char* const kSimulatorVariable = "ORBIZO3_SIMULATOR";
const char* const kTraceVariable = "ORBIZO3_USB_TRACE";
const char* const kTimingVariable = "ORBIZO3_SIMULATOR_TIMING";
const char* const kHistoryVariable = "ORBIZO3_HISTORY";
const char* const kFaultVariable = "ORBIZO3_SIMULATOR_FAULT";
const char* const kVariablePrefix = "ORBIZO3_";
const char* const kHistoryUnderState = "/orbizo3/history.sqlite3";

QString defaultHistoryFile(const QProcessEnvironment& environment) {
    // A relative XDG_STATE_HOME is invalid and ignored.
    const QString state = environment.value("XDG_STATE_HOME");
    if (!state.isEmpty() && QDir::isAbsolutePath(state)) return state + kHistoryUnderState;
    const QString home = environment.value("HOME");
    if (!home.isEmpty()) return home + "/.local/state" + kHistoryUnderState;
    return QString();
}
}  // namespace

unsigned RunSettings::simulatedTableCount(const QString& value) {
    const QByteArray text = value.toLocal8Bit();
    char* end = nullptr;
    const long count = std::strtol(text.constData(), &end, 10);
    if (end == text.constData() || *end != '\0' || count < 0 ||
        count > static_cast<long>(kMaxSimulatedTables))
        return 1;
    return static_cast<unsigned>(count);
}

RunSettings RunSettings::fromEnvironment(const QProcessEnvironment& environment) {
    RunSettings settings;
    if (environment.contains(kSimulatorVariable))
        settings.useSimulatedTables(simulatedTableCount(environment.value(kSimulatorVariable)));
    settings.trace = environment.value(kTraceVariable);
    settings.setSimulatorTiming(environment.value(kTimingVariable) == "1");
    settings.history = environment.value(kHistoryVariable);
    settings.fault = environment.value(kFaultVariable);
    if (settings.history.isEmpty()) settings.history = defaultHistoryFile(environment);
    for (const char* variable : {"USER", "LOGNAME", "USERNAME"}) {
        settings.user = environment.value(variable);
        if (!settings.user.isEmpty()) break;
    }
    for (const QString& entry : environment.toStringList())
        if (!entry.startsWith(kVariablePrefix)) settings.inherited << entry;
    return settings;
}

void RunSettings::useRealUsb() {
    host = UsbHostChoice::Real;
    tables = 0;
    fitClockToHost();
}

void RunSettings::useSimulatedTables(unsigned count) {
    host = UsbHostChoice::Simulated;
    tables = count;
    fitClockToHost();
}

void RunSettings::setSimulatorTiming(bool on) {
    timing = on;
    fitClockToHost();
}

std::shared_ptr<VirtualClock> RunSettings::virtualClock() const {
    return std::dynamic_pointer_cast<VirtualClock>(timeSource);
}

void RunSettings::setClock(std::shared_ptr<MonotonicClock> clock) {
    timeSource = clock ? std::move(clock) : MonotonicClock::steady();
}

void RunSettings::fitClockToHost() {
    const bool tablesKeepNoTime = simulated() && !timing;
    if (tablesKeepNoTime == (virtualClock() != nullptr)) return;
    if (tablesKeepNoTime)
        timeSource = std::make_shared<VirtualClock>();
    else
        timeSource = MonotonicClock::steady();
}

QStringList RunSettings::toArguments() const {
    QStringList arguments;
    if (simulated()) arguments << "--simulated-tables" << QString::number(tables);
    if (latencyTimer == kKeepConverterLatencyTimer)
        arguments << "--no-latency-timer";
    else if (latencyTimer != kDefaultLatencyTimerMs)
        arguments << "--latency-timer" << QString::number(latencyTimer);
    if (!trace.isEmpty()) arguments << "--trace" << trace;
    if (timing) arguments << "--simulator-timing";
    if (!fault.isEmpty()) arguments << "--simulated-fault" << fault;
    if (history.isEmpty())
        arguments << "--no-history";
    else
        arguments << "--history" << history;
    return arguments;
}

bool RunSettings::operator==(const RunSettings& other) const {
    return host == other.host && tables == other.tables && latencyTimer == other.latencyTimer &&
           trace == other.trace && timing == other.timing && history == other.history &&
           fault == other.fault && (virtualClock() != nullptr) == (other.virtualClock() != nullptr);
}

}  // namespace Utilities
}  // namespace Korvane
