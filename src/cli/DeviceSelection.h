#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <ostream>

#include "utilities/RunSettings.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// The global options that make up a run's settings (RunSettings) and choose its table:
//   --device PATH   the table's device path or serial number (see TableChoice); a service
//                   bench takes it several times (see BenchTables)
//   --simulate      simulated tables instead of USB, as with ORBIZO3_SIMULATOR=1; a table count
//                   the environment gives wins
//   --simulated-tables N   N simulated tables (0-64) instead of USB, whatever the environment
//   --simulator-timing     simulated tables take as long as real ones
//   --simulated-fault SERIAL:FAULT   a fault armed on one simulated table
//                   (SimulatedFaultSetting), over ORBIZO3_SIMULATOR_FAULT
//   --trace FILE    every USB transfer appended to FILE, over ORBIZO3_USB_TRACE
//   --yes           no confirmation questions
//   --latency-timer MS   the converter's latency timer set at every connection, 1-255 (2)
//   --no-latency-timer   no latency request: the converter keeps its own 16 ms
//   --history FILE  the history file, over ORBIZO3_HISTORY and the default
//   --no-history    no history
//
// A selection is made by a command from its parsed command line and settings; it lists and
// chooses the tables of the USB host that main registered for those settings.
class DeviceSelection {
public:
    static QList<QCommandLineOption> globalOptions();
    // Empty when the global options' values are usable; otherwise what is wrong (a usage
    // error).
    static QString optionProblem(const QCommandLineParser& parser);
    // `environment` (RunSettings::fromEnvironment) under the global options; the options must
    // have passed optionProblem.
    static Korvane::Utilities::RunSettings runSettings(const QCommandLineParser& parser,
                                                       Korvane::Utilities::RunSettings environment);

    DeviceSelection(const QCommandLineParser& parser,
                    const Korvane::Utilities::RunSettings& settings);

    const Korvane::Utilities::RunSettings& settings() const { return runWith; }

    // Device paths of the tables present now, in enumeration order.
    QStringList presentTables() const;
    // --device when given, else the first table present, else empty (no table).
    QString devicePath() const;

    bool confirmed() const { return assumeYes; }

    // False, after saying why on `err`, when the commands must not go on: a --trace file that
    // cannot be written (the trace itself would quietly leave it out).
    bool usable(std::ostream& err) const;

private:
    Korvane::Utilities::RunSettings runWith;
    QString requestedPath;
    bool assumeYes = false;
    QString traceProblem;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
