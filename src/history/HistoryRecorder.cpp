#include "history/HistoryRecorder.h"

#include <QSysInfo>
#include <algorithm>
#include <exception>

#include "utilities/KorvaneException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

HistoryRecorder::HistoryRecorder(const QString& path, int busyTimeoutMs)
    : path(path), busyTimeoutMs(busyTimeoutMs), started(HistoryRecord::now()) {
    clock.start();
    if (path.isEmpty()) state = State::Off;
}

HistoryRecorder::~HistoryRecorder() {
    if (state == State::Recording) finish(HistoryRecord::Outcome::Interrupted, 0);
}

void HistoryRecorder::begin(const HistoryRecord& given) {
    if (state != State::Idle) return;
    record = given;
    record.id = 0;
    record.started = started;
    record.ended = QDateTime();
    record.durationMs = -1;
    record.versionAfter = 0;
    record.outcome = HistoryRecord::Outcome::Running;
    record.failure = HistoryRecord::Failure();
    record.sectors.clear();
    record.process = ProcessIdentity::current();
    if (record.host.isEmpty()) record.host = QSysInfo::machineHostName();
    state = State::Off;
    try {
        database =
            std::make_unique<HistoryDatabase>(path, HistoryDatabase::Access::Record, busyTimeoutMs);
        if (database->canRecord()) {
            record.id = database->insertRunning(record);
            state = State::Recording;
        }
    } catch (const std::exception& failure) {
        takeNotices();
        warn(QString::fromUtf8(failure.what()), attempt() + " is not recorded");
    } catch (...) {
        takeNotices();
        warn("an unexpected failure", attempt() + " is not recorded");
    }
    takeNotices();
    if (state != State::Recording) database.reset();
}

// What opening or storing found besides failures: a damaged file moved aside, a newer schema.
void HistoryRecorder::takeNotices() {
    if (!database) return;
    for (const QString& notice : database->notices()) {
        const QString warning = QStringLiteral("Update history: ") + notice;
        if (!warnings.contains(warning)) warnings << warning;
    }
}

void HistoryRecorder::sectorWritten(int index) {
    if (state != State::Recording) return;
    sector(index).written = true;
    storeChangedSectors();
}

void HistoryRecorder::sectorConfirmed(int index, std::uint32_t sum) {
    if (state != State::Recording) return;
    sector(index).sum = sum;
    storeChangedSectors();
}

void HistoryRecorder::finish(HistoryRecord::Outcome outcome, std::uint16_t versionAfter,
                             const HistoryRecord::Failure& failure) {
    if (state != State::Recording) return;
    record.outcome = outcome;
    record.versionAfter = versionAfter;
    record.failure = outcome == HistoryRecord::Outcome::Failed ? failure : HistoryRecord::Failure();
    record.ended = HistoryRecord::now();
    record.durationMs = clock.elapsed();
    state = State::Finished;
    try {
        // Every sector again: those a locked moment kept back go in with the end.
        database->finish(record);
        changedSectors.clear();
    } catch (const std::exception& failure) {
        warn(QString::fromUtf8(failure.what()),
             "the record of " + attempt() + " stays unfinished and will read as interrupted");
        state = State::Off;
    } catch (...) {
        warn("an unexpected failure",
             "the record of " + attempt() + " stays unfinished and will read as interrupted");
        state = State::Off;
    }
    database.reset();
}

QStringList HistoryRecorder::takeWarnings() {
    QStringList taken;
    taken.swap(warnings);
    return taken;
}

HistoryRecord::Sector& HistoryRecorder::sector(int index) {
    if (std::find(changedSectors.begin(), changedSectors.end(), index) == changedSectors.end())
        changedSectors.push_back(index);
    auto at = std::lower_bound(
        record.sectors.begin(), record.sectors.end(), index,
        [](const HistoryRecord::Sector& sector, int wanted) { return sector.index < wanted; });
    if (at == record.sectors.end() || at->index != index) {
        HistoryRecord::Sector added;
        added.index = index;
        at = record.sectors.insert(at, added);
    }
    return *at;
}

// Sectors that cannot be stored (the file busy for longer than the timeout, say) go in with
// the end instead, so that the update waits for a busy file once at most; only a failing end is
// worth a warning.
void HistoryRecorder::storeChangedSectors() {
    if (sectorsWaitForEnd) return;
    std::vector<HistoryRecord::Sector> changed;
    for (const HistoryRecord::Sector& sector : record.sectors) {
        if (std::find(changedSectors.begin(), changedSectors.end(), sector.index) !=
            changedSectors.end())
            changed.push_back(sector);
    }
    try {
        database->storeSectors(record.id, changed);
        changedSectors.clear();
    } catch (...) {
        sectorsWaitForEnd = true;
    }
}

void HistoryRecorder::warn(const QString& problem, const QString& consequence) {
    warnings << QStringLiteral("Update history: %1; %2.").arg(problem, consequence);
}

QString HistoryRecorder::attempt() const {
    return record.kind == HistoryRecord::Kind::Verify ? QStringLiteral("this verification")
                                                      : QStringLiteral("this update");
}

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
