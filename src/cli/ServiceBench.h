#pragma once

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "cli/BenchChildProcess.h"
#include "cli/BenchTable.h"
#include "history/HistoryRecord.h"
#include "utilities/RunSettings.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

class BenchProgress;
class BenchSignals;

// `update --all [FILE]` and `verify --all FILE` (or several --device): a service bench, one
// child process per table (this program again, as BenchChild), so that every table has its
// own process, its own transfer locks and its own failure. In order:
//  1. the firmware file is read and checked once; a refused file refuses the whole bench
//     before any table is looked for;
//  2. the tables are found once (BenchTables); the questions are asked once (or --yes);
//  3. one child per table is started with the table's device path and serial number, the
//     firmware's bytes on its standard input, the run's settings as options (a --trace FILE
//     becomes one file per table, the serial number in its name) and the bench's id for the
//     history; progress is shown as the children report it (BenchProgress);
//  4. when all children have ended, the summary (BenchSummary). Exit 0 when every table
//     succeeded, 1 otherwise; one table's failure never stops the others.
// Ctrl-C and SIGTERM: the first warns, the second stops the bench; each step is passed on to
// every child once, as SIGINT (the children run in their own process groups and hold off
// interrupts as an update does while it programs). A child that dies is a failed table,
// cancelled when the second step stopped it. Main thread only.
class ServiceBench {
public:
    static constexpr const char* kAllOption = "all";
    // Adds --all.
    static void configure(QCommandLineParser& parser);
    // --all, or --device given more than once.
    static bool requested(const QCommandLineParser& parser);

    // `confirm` asks the command's questions once on `out` (false: cancelled). `program`: the
    // program the children run (this one).
    ServiceBench(History::HistoryRecord::Kind kind, std::function<bool(std::ostream&)> confirm,
                 const QString& program);
    ~ServiceBench();

    int run(const QCommandLineParser& parser, const Korvane::Utilities::RunSettings& settings,
            const QStringList& arguments, std::ostream& out, std::ostream& err);

    // The trace file of one table: the serial number before the suffix
    // ("bench.trace" -> "bench-OZ3S000001.trace").
    static QString traceFileOf(const QString& traceFile, const QString& serialNumber);

private:
    void startChildren(const Korvane::Utilities::RunSettings& settings, const QString& file,
                       const QByteArray& content);
    QStringList childArguments(const Korvane::Utilities::RunSettings& settings,
                               const BenchTable& table, const QString& file) const;
    // Polls the children and the signals until every child has ended.
    void waitForChildren(BenchSignals& caught, bool terminal);
    void passOn(int signal);
    void takeOutput(std::size_t index);
    void ended(std::size_t index);
    double secondsSinceStart() const;

    const History::HistoryRecord::Kind kind;
    const std::function<bool(std::ostream&)> confirm;
    const QString program;
    QString benchId;
    BenchTable::Clock::time_point start;
    std::vector<BenchTable> tables;
    std::vector<std::unique_ptr<BenchChildProcess>> children;  // aligned with tables
    std::unique_ptr<BenchProgress> progress;
    int interruptSteps = 0;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
