#include "cli/BenchTable.h"

#include <sys/wait.h>

#include <QStringList>
#include <cmath>
#include <cstring>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

BenchTable::BenchTable(const QString& devicePath, const QString& serialNumber)
    : devicePath(devicePath), serialNumber(serialNumber) {}

double BenchTable::seconds(Clock::time_point now) const {
    if (!started) return 0;
    const Clock::time_point end = ended ? *ended : now;
    return std::chrono::duration<double>(end - *started).count();
}

void BenchTable::apply(const QJsonObject& event, Clock::time_point now) {
    if (done()) return;
    const QString kind = event["event"].toString();
    if (kind == "identified") {
        versionBefore = event["version_before"].toString("-");
    } else if (kind == "progress") {
        percent = event["percent"].toInt(percent);
        sector = event["sector"].toInt(sector);
        if (sector >= 0 && !firstSector) firstSector = now;
    } else if (kind == "finished") {
        outcome = event["outcome"].toString(kFailed);
        versionAfter = event["version_after"].toString("-");
        message = event["message"].toString();
        where = event["where"].toString();
        if (succeeded()) percent = 100;
        ended = now;
    }
}

void BenchTable::processEnded(int waitStatus, int interruptSteps, const QString& errorOutput,
                              Clock::time_point now) {
    if (done()) return;
    ended = now;
    // The bench's second step ends its children with SIGKILL; a child whose own second
    // interrupt came through ends with SIGINT.
    const bool stopped = WIFSIGNALED(waitStatus) &&
                         (WTERMSIG(waitStatus) == SIGINT || WTERMSIG(waitStatus) == SIGKILL);
    if (stopped && interruptSteps >= 2) {
        outcome = kCancelled;
        message = "Stopped by an interrupt.";
        return;
    }
    outcome = kFailed;
    if (WIFSIGNALED(waitStatus)) {
        message = QString("The table's process was ended by signal %1 (%2).")
                      .arg(WTERMSIG(waitStatus))
                      .arg(QString::fromLocal8Bit(::strsignal(WTERMSIG(waitStatus))));
    } else {
        message = QString("The table's process ended with exit code %1 without a result.")
                      .arg(WEXITSTATUS(waitStatus));
    }
    // Its last words, if it left any.
    const QStringList lines = errorOutput.trimmed().split('\n', Qt::SkipEmptyParts);
    if (!lines.isEmpty()) message += ' ' + lines.last().trimmed();
}

void BenchTable::fail(const QString& text, Clock::time_point now) {
    if (done()) return;
    outcome = kFailed;
    message = text;
    if (!started) started = now;
    ended = now;
}

QJsonObject BenchTable::json() const {
    QJsonObject object{{"serial_number", serialNumber},
                       {"device", devicePath},
                       {"version_before", versionBefore},
                       {"version_after", versionAfter},
                       {"outcome", outcome},
                       {"seconds", std::round(seconds() * 10) / 10}};
    if (!succeeded()) {
        object.insert("message", message);
        object.insert("where", where);
    }
    return object;
}

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
