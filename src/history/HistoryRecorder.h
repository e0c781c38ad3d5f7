#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

#include "history/HistoryDatabase.h"
#include "history/HistoryRecord.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

// Writes the service record of one update or verify. Made when the attempt has chosen its
// table: that is the record's start time. Then
//   begin()            before the first command that changes the table (durable on return),
//   sectorWritten(), sectorConfirmed()   as the table takes each sector (not synced each),
//   finish()           at the end, whatever it was (durable on return, with every sector).
// A record begun but never finished reads as interrupted once its process has gone; one
// destroyed unfinished is finished as interrupted.
//
// The history never fails or holds up the attempt: no call throws, and a history that cannot
// be opened, is read-only, locked for longer than the busy timeout, full or damaged gives one
// warning (takeWarnings(), for the front end to show) and the calls after it do nothing.
// Not thread-safe: use it on one thread (see HistoryDatabase).
class HistoryRecorder {
public:
    // `path` empty: the history is off for this attempt; nothing is opened or said.
    explicit HistoryRecorder(const QString& path,
                             int busyTimeoutMs = HistoryDatabase::DefaultBusyTimeoutMs);
    ~HistoryRecorder();
    HistoryRecorder(const HistoryRecorder&) = delete;
    HistoryRecorder& operator=(const HistoryRecorder&) = delete;

    // Stores `record` as running. The recorder fills in the start time, this process's identity,
    // and the host name when it is empty; its outcome, end and sectors are ignored. The user is
    // the caller's to give (RunSettings::userName).
    void begin(const HistoryRecord& record);
    void sectorWritten(int sector);
    // `sum`: the table's byte sum over the sector, as it confirmed it.
    void sectorConfirmed(int sector, std::uint32_t sum);
    // `failure` is kept for Failed only. The end time and duration are the recorder's.
    void finish(HistoryRecord::Outcome outcome, std::uint16_t versionAfter,
                const HistoryRecord::Failure& failure = HistoryRecord::Failure());

    // True from a successful begin() to finish().
    bool recording() const { return state == State::Recording; }
    // The record as stored so far (its id once begun).
    const HistoryRecord& current() const { return record; }
    // The warnings since the last call, each a whole sentence beginning "Update history: ".
    QStringList takeWarnings();

private:
    enum class State { Idle, Recording, Finished, Off };

    HistoryRecord::Sector& sector(int index);
    void storeChangedSectors();
    void takeNotices();
    void warn(const QString& problem, const QString& consequence);
    QString attempt() const;

    QString path;
    int busyTimeoutMs;
    QDateTime started;
    QElapsedTimer clock;
    std::unique_ptr<HistoryDatabase> database;
    HistoryRecord record;
    std::vector<int> changedSectors;  // indices not yet stored
    bool sectorsWaitForEnd = false;
    State state = State::Idle;
    QStringList warnings;
};

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
