#pragma once

#include <QJsonObject>
#include <QString>
#include <chrono>
#include <optional>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// One table of a service bench as the parent process sees it: found (path and serial number),
// then driven by its own child process, whose events (BenchChild) it takes in, and finally
// ended with an outcome. A plain value; the bench's main thread owns it.
class BenchTable {
public:
    using Clock = std::chrono::steady_clock;

    // Outcomes as the events and the summary spell them: "updated", "verified", "differs",
    // "failed", "cancelled", "disconnected"; empty while the table is still being worked on.
    static constexpr const char* kFailed = "failed";
    static constexpr const char* kCancelled = "cancelled";

    BenchTable(const QString& devicePath, const QString& serialNumber);

    QString devicePath;
    QString serialNumber;
    QString versionBefore = "-";
    QString versionAfter = "-";
    int percent = 0;
    int sector = -1;  // the sector being worked on; -1 before the first
    QString outcome;
    QString message;  // for a failure: what went wrong, as the single command would say it
    QString where;    // for a failure: the command and sector, when known ("u7 in sector 4")
    std::optional<Clock::time_point> started;
    std::optional<Clock::time_point> firstSector;
    std::optional<Clock::time_point> ended;

    bool done() const { return !outcome.isEmpty(); }
    bool succeeded() const { return outcome == "updated" || outcome == "verified"; }
    // Seconds from the child's start to its end (or to `now` while it runs); 0 before it started.
    double seconds(Clock::time_point now = Clock::now()) const;

    // Takes in one event line of the table's child; an event the table does not know is kept
    // out. Events after the outcome change nothing.
    void apply(const QJsonObject& event, Clock::time_point now = Clock::now());
    // The child ended with a wait status (waitpid) after `interruptSteps` steps were passed on.
    // A child that ended without reporting an outcome failed, unless the second step stopped
    // it: then it was cancelled. Never a success.
    void processEnded(int waitStatus, int interruptSteps, const QString& errorOutput,
                      Clock::time_point now = Clock::now());
    // Ends a table that gets no child (its serial number could not be read, its process could
    // not be started).
    void fail(const QString& text, Clock::time_point now = Clock::now());

    // The summary's object of this table.
    QJsonObject json() const;
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
