#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <ostream>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// The global options that say which USB host and which table the commands talk to:
//   --device PATH   the table's device path or serial number (see TableChoice)
//   --simulate      simulated tables instead of USB, as with ORBIZO3_SIMULATOR=1
//   --trace FILE    every USB transfer appended to FILE, as with ORBIZO3_USB_TRACE=FILE
//   --yes           no confirmation questions
//   --latency-timer MS   the converter's latency timer set at every connection, 1-255 (2)
//   --no-latency-timer   no latency request: the converter keeps its own 16 ms
//
// Constructing a selection applies --simulate and --trace to the environment, which must
// happen before the process first uses the USB host, and then plugs the simulated tables when
// the simulated bus is selected (once per process). It also sets the latency timer of the
// connections the process makes from then on.
class DeviceSelection {
public:
    static QList<QCommandLineOption> globalOptions();
    // Empty when the global options' values are usable; otherwise what is wrong (a usage
    // error).
    static QString optionProblem(const QCommandLineParser& parser);

    explicit DeviceSelection(const QCommandLineParser& parser);

    // Device paths of the tables present now, in enumeration order.
    QStringList presentTables() const;
    // --device when given, else the first table present, else empty (no table).
    QString devicePath() const;

    bool confirmed() const { return assumeYes; }

    // False, after saying why on `err`, when the commands must not go on: a --trace file that
    // cannot be written (the trace itself would quietly leave it out).
    bool usable(std::ostream& err) const;

private:
    static void plugSimulatedTables();

    QString requestedPath;
    bool assumeYes = false;
    QString traceProblem;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
