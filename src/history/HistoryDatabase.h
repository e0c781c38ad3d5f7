#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <vector>

#include "history/HistoryRecord.h"

class QSqlError;

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

// The one owner of the history file: nothing else opens it. One SQLite connection (Qt's SQL
// module, driver QSQLITE) in WAL mode, so that several processes record at once; each waits
// for another's write for at most the busy timeout. The log ("<file>-wal", "-shm") stays
// beside the file when the last connection closes (see keepLogOnClose).
//
// Record access creates the file and its folder, brings an older schema forward, and moves a
// damaged file aside (to "<file>.corrupt-<UTC time>", its WAL beside it) and starts a new one.
// Read access changes nothing: a missing file reads as empty, a damaged one fails.
// A file of a newer schema is never changed: it reads as far as this program understands it,
// and records are not written to it.
//
// Failures are OrbiZoException with a History* code of ErrorCodes.h; its message names the file.
// Not thread-safe: use an object only on the thread that made it (a Qt SQL connection belongs to
// its thread). Do not carry one across fork().
class HistoryDatabase {
public:
    enum class Access { Record, Read };
    static constexpr int DefaultBusyTimeoutMs = 2000;

    HistoryDatabase(const QString& path, Access access, int busyTimeoutMs = DefaultBusyTimeoutMs);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    // What opening found that the user should hear of without it being a failure: a damaged
    // file moved aside, a newer schema. Whole sentences.
    const QStringList& notices() const { return noticeList; }
    // The file's schema version; 0 for a missing file under read access.
    int schemaVersion() const { return version; }
    // Record access to a file of a schema this program knows.
    bool canRecord() const;

    // Stores `record` (its outcome as given, normally running) and its sectors in one
    // transaction, synced to disk before returning. Returns the record's id. A file found
    // damaged here is moved aside and the record stored in a new one.
    qint64 insertRunning(const HistoryRecord& record);
    // Adds or replaces these sectors of record `id`; committed but not synced (a later durable
    // commit or checkpoint syncs them).
    void storeSectors(qint64 id, const std::vector<HistoryRecord::Sector>& sectors);
    // Stores the end of the record `record.id` (ended, duration, version after, outcome,
    // failure) and its sectors in one transaction, synced to disk before returning.
    void finish(const HistoryRecord& record);

    // Newest first; `serial` empty: every table; `limit` <= 0: all. Running records whose
    // process has gone read as interrupted. Records of a kind, front end or outcome this program
    // does not know are left out (a notice says how many).
    std::vector<HistoryRecord> records(const QString& serial, int limit);

private:
    void open();
    void attach();
    void startOver();
    void openConnection();
    void closeConnection();
    void keepLogOnClose();
    void probe();
    void useWriteAheadLog();
    void bringForward();
    void moveAside();
    void ensureRecordable() const;
    qint64 insertOnce(const HistoryRecord& record);
    void writeSectors(qint64 id, const std::vector<HistoryRecord::Sector>& sectors);
    void write(bool durable, const QString& doing, const std::function<void()>& work);
    void setSynchronous(bool full);
    QStringList presentColumns(const QString& table);
    std::vector<HistoryRecord> readRecords(const QString& serial, int limit);
    void readSectors(std::vector<HistoryRecord>& records, const QString& serial, int limit);
    QVariant value(const QString& sql, const QString& doing);
    QSqlQuery run(const QString& sql, const QVariantList& values, const QString& doing);
    [[noreturn]] void fail(const QSqlError& error, const QString& doing) const;

    QString path;
    Access access;
    int busyTimeoutMs;
    QString connectionName;
    QSqlDatabase database;
    bool connected = false;
    bool absent = false;  // read access to a file that does not exist
    int version = 0;
    int synchronous = -1;  // the connection's PRAGMA synchronous as last set; -1 unknown
    QStringList noticeList;
    // The file opened, as (device, inode), so that a damaged file is moved aside only while it
    // is still the one at `path` (another process may have moved it and started a new one).
    quint64 fileDevice = 0;
    quint64 fileInode = 0;
};

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
