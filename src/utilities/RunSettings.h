#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "utilities/MonotonicClock.h"
#include "utilities/VirtualClock.h"

namespace Korvane {
namespace Utilities {

// What one run of a program is told from outside: which USB host it talks to, the serial
// converter's latency timer, the USB trace file, the simulated table's timing model, the
// service history file, the user the history names, the environment a child process gets and
// the clock that answer time-outs are measured on. Each program's main builds it once, from the
// environment (fromEnvironment) and, in orbizo3-cli, from the options on top of that, and hands
// it down to the objects that use it: by constructor argument or by parameter, whose default is
// this class's default value (real USB, 2 ms latency timer, no trace, no timing model, no
// history, the steady clock). Nothing below main reads the environment.
//
// A plain value: copy it freely; it holds no resources and no thread affinity. Copies share
// the clock.
class RunSettings {
public:
    enum class UsbHostChoice { Real, Simulated };

    static constexpr unsigned kMaxSimulatedTables = 64;
    // Latency timer values in ms: what connections set unless told otherwise, and "set nothing,
    // the converter keeps its own" (the same values as the USB layer's ConverterLatency.h).
    static constexpr std::uint8_t kDefaultLatencyTimerMs = 2;
    static constexpr std::uint8_t kKeepConverterLatencyTimer = 0;

    // The settings the environment gives:
    //   ORBIZO3_SIMULATOR=N          the simulated host with N tables plugged at start (0-64;
    //                                an empty or unreadable value means 1)
    //   ORBIZO3_USB_TRACE=FILE       the USB trace
    //   ORBIZO3_SIMULATOR_TIMING=1   the simulated tables' timing model on
    //   ORBIZO3_SIMULATOR_FAULT=SERIAL:FAULT   a fault armed on one simulated table at start
    //                                (orbizo3-cli's --simulated-fault tells the forms)
    //   ORBIZO3_HISTORY=FILE         the history file; else
    //   $XDG_STATE_HOME/orbizo3/history.sqlite3,
    //                                else $HOME/.local/state/orbizo3/history.sqlite3, else none
    //   USER, else LOGNAME, else USERNAME   the user name the history records
    static RunSettings fromEnvironment(const QProcessEnvironment& environment);
    // How many tables a value of ORBIZO3_SIMULATOR asks for.
    static unsigned simulatedTableCount(const QString& value);

    // orbizo3-cli's global options that give a process exactly these settings when its
    // environment holds none of the ORBIZO3_ variables above (a child started with a cleaned
    // environment). The history is always stated, as --history FILE or --no-history.
    QStringList toArguments() const;

    UsbHostChoice usbHost() const { return host; }
    bool simulated() const { return host == UsbHostChoice::Simulated; }
    // Tables plugged on the simulated host at start; 0 on the real host.
    unsigned simulatedTables() const { return tables; }
    void useRealUsb();
    void useSimulatedTables(unsigned count);

    // 1-255 ms, or kKeepConverterLatencyTimer.
    std::uint8_t latencyTimerMs() const { return latencyTimer; }
    void setLatencyTimerMs(std::uint8_t milliseconds) { latencyTimer = milliseconds; }

    // Empty: no trace.
    QString traceFile() const { return trace; }
    void setTraceFile(const QString& path) { trace = path; }

    // Simulated tables take as long as real ones (UART, latency timer, erase and copy times).
    bool simulatorTiming() const { return timing; }
    void setSimulatorTiming(bool on);

    // A fault armed on one simulated table when it is plugged, as "SERIAL:FAULT"; empty: none.
    // The text is judged and armed by the program that plugs the tables.
    QString simulatedFault() const { return fault; }
    void setSimulatedFault(const QString& text) { fault = text; }

    // Empty: no history is kept.
    QString historyFile() const { return history; }
    void setHistoryFile(const QString& path) { history = path; }

    // Who runs the program, as the history records it; empty: not known. Not an option: a
    // child process inherits the variables it comes from.
    QString userName() const { return user; }
    void setUserName(const QString& name) { user = name; }

    // The environment a child process of this run starts with ("NAME=value" entries): the one
    // fromEnvironment read, without the ORBIZO3_ variables, as the child gets the settings as
    // options (toArguments). Empty for settings not read from an environment.
    QStringList childEnvironment() const { return inherited; }

    // The clock answer time-outs are measured on; never null.
    std::shared_ptr<MonotonicClock> clock() const { return timeSource; }
    // The virtual clock the simulated tables are to move on, or null when time-outs read the
    // steady clock.
    std::shared_ptr<VirtualClock> virtualClock() const;
    // The clock follows the host: simulated tables without their timing model answer every
    // read at once, so such a run gets a virtual clock for them to move on (kept while the run
    // stays so); any other run reads the steady clock. Choosing the host or the timing model
    // fits the clock again; setClock overrides until then (null: the steady clock).
    void setClock(std::shared_ptr<MonotonicClock> clock);

    // What options can carry is compared: clocks by kind (steady or virtual), as options and the
    // environment cannot name one; the user name and the child's environment not at all.
    bool operator==(const RunSettings& other) const;
    bool operator!=(const RunSettings& other) const { return !(*this == other); }

private:
    void fitClockToHost();

    UsbHostChoice host = UsbHostChoice::Real;
    unsigned tables = 0;
    std::uint8_t latencyTimer = kDefaultLatencyTimerMs;
    QString trace;
    bool timing = false;
    QString history;
    QString fault;
    QString user;
    QStringList inherited;
    std::shared_ptr<MonotonicClock> timeSource = MonotonicClock::steady();
};

}  // namespace Utilities
}  // namespace Korvane
