#include "history/HistoryDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>
#include <atomic>

#include <sqlite3.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "history/HistoryRowReader.h"
#include "history/HistorySchema.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace History {

namespace {

// SQLite's primary result codes that the history tells apart.
enum SqliteCode {
    Busy = 5,
    Locked = 6,
    ReadOnly = 8,
    Corrupt = 11,
    Full = 13,
    CantOpen = 14,
    NotADatabase = 26,
};

QString uniqueConnectionName() {
    static std::atomic<int> next{0};
    return QStringLiteral("orbizo3-history-%1").arg(next++);
}

bool sameFile(const QString& path, quint64 device, quint64 inode) {
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return false;
    return static_cast<quint64>(info.st_dev) == device &&
           static_cast<quint64>(info.st_ino) == inode;
#else
    Q_UNUSED(device);
    Q_UNUSED(inode);
    return QFileInfo::exists(path);
#endif
}

QVariant nullable(const QString& text) {
    return text.isNull() ? QVariant() : QVariant(text);
}

QVariant nullableWord(std::uint16_t word) {
    return word == 0 ? QVariant() : QVariant(static_cast<int>(word));
}

}  // namespace

HistoryDatabase::HistoryDatabase(const QString& path, Access access, int busyTimeoutMs)
    : path(path),
      access(access),
      busyTimeoutMs(busyTimeoutMs),
      connectionName(uniqueConnectionName()) {
    try {
        open();
    } catch (...) {
        closeConnection();
        throw;
    }
}

HistoryDatabase::~HistoryDatabase() {
    closeConnection();
}

bool HistoryDatabase::canRecord() const {
    return access == Access::Record && version <= HistorySchema::CurrentVersion;
}

void HistoryDatabase::open() {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        throw OrbiZoException(ErrorCode::HistoryDriverMissing,
                              "Qt's SQLite driver is not installed (Debian: libqt6sql6-sqlite)");
    if (access == Access::Read) {
        absent = !QFileInfo::exists(path);
        if (!absent) attach();
        return;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw OrbiZoException(ErrorCode::HistoryCannotOpen,
                              QString("%1 cannot be opened: its folder cannot be made")
                                  .arg(QDir::toNativeSeparators(path))
                                  .toStdString());
    try {
        attach();
    } catch (const OrbiZoException& failure) {
        if (failure.code != ErrorCode::HistoryDamaged) throw;
        startOver();
    }
}

void HistoryDatabase::attach() {
    openConnection();
    probe();
    if (access == Access::Read) return;
    if (version > HistorySchema::CurrentVersion) {
        noticeList << QString(
                          "%1 was written by a newer version of this program (schema %2; this "
                          "one knows up to %3). It is left unchanged and nothing is recorded in "
                          "it: new records wait for a program that knows its schema.")
                          .arg(QDir::toNativeSeparators(path))
                          .arg(version)
                          .arg(HistorySchema::CurrentVersion);
        return;
    }
    useWriteAheadLog();
    bringForward();
}

// The file is damaged: move it aside and begin a new history at its place.
void HistoryDatabase::startOver() {
    closeConnection();
    moveAside();
    attach();
}

void HistoryDatabase::openConnection() {
    database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    connected = true;
    database.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs);
    if (access == Access::Read) options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    database.setConnectOptions(options);
    synchronous = -1;
    if (!database.open()) fail(database.lastError(), "opening");
    keepLogOnClose();
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        fileDevice = static_cast<quint64>(info.st_dev);
        fileInode = static_cast<quint64>(info.st_ino);
    }
#endif
}

// Closing the last connection would copy the write-ahead log into the file and sync both: a
// wait of two disk syncs at the end of every update. The log stays instead, and is copied
// when it has grown to SQLite's automatic checkpoint (about 4 MB), by whichever commit gets
// there. The handle is the SQLite library's own (the driver uses the system library).
void HistoryDatabase::keepLogOnClose() {
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) return;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (connection) sqlite3_db_config(connection, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

void HistoryDatabase::closeConnection() {
    if (!connected) return;
    database.close();
    database = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName);
    connected = false;
}

// Reads the header and the schema, which is where a damaged file or one that is no database
// shows first.
void HistoryDatabase::probe() {
    version = value("PRAGMA user_version", "reading its version").toInt();
    value("SELECT count(*) FROM sqlite_master", "reading its schema");
}

void HistoryDatabase::useWriteAheadLog() {
    const QString mode = value("PRAGMA journal_mode", "reading its journal mode").toString();
    if (mode.compare("wal", Qt::CaseInsensitive) != 0)
        value("PRAGMA journal_mode=WAL", "switching it to write-ahead logging");
}

void HistoryDatabase::bringForward() {
    if (version >= HistorySchema::CurrentVersion) return;
    write(true, "bringing its schema forward", [this] {
        // Another process may have done it since the version was read.
        const int found = value("PRAGMA user_version", "reading its version").toInt();
        for (int step = found + 1; step <= HistorySchema::CurrentVersion; ++step) {
            for (const QString& statement : HistorySchema::step(step))
                run(statement, {}, QString("bringing its schema to version %1").arg(step));
        }
        // PRAGMA takes no bound values.
        run(QString("PRAGMA user_version = %1").arg(HistorySchema::CurrentVersion), {},
            "bringing its schema forward");
    });
    version = HistorySchema::CurrentVersion;
}

void HistoryDatabase::moveAside() {
    const QString native = QDir::toNativeSeparators(path);
    // Moved and replaced by another process meanwhile: the new file is not ours to move.
    if (!sameFile(path, fileDevice, fileInode)) return;
    const QString stamp = HistoryRecord::now().toString(QStringLiteral("yyyyMMddTHHmmsszzzZ"));
    QString aside = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".corrupt-") + stamp + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(path, aside))
        throw OrbiZoException(
            ErrorCode::HistoryDamaged,
            QString("%1 is damaged and cannot be moved aside").arg(native).toStdString());
    // The write-ahead log belongs to the damaged file: replayed into a new one it would
    // damage that too. Moved beside it, SQLite still finds it when the file is examined.
    QFile::rename(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    noticeList << QString("%1 was damaged: it was moved aside to %2 and a new history was begun.")
                      .arg(native, QDir::toNativeSeparators(aside));
}

void HistoryDatabase::ensureRecordable() const {
    if (access != Access::Record)
        throw OrbiZoException(ErrorCode::HistoryReadOnly, QString("%1 was opened for reading only")
                                                              .arg(QDir::toNativeSeparators(path))
                                                              .toStdString());
    if (version > HistorySchema::CurrentVersion)
        throw OrbiZoException(ErrorCode::HistoryNewerSchema,
                              QString("%1 has a newer schema (%2) than this program knows (%3)")
                                  .arg(QDir::toNativeSeparators(path))
                                  .arg(version)
                                  .arg(HistorySchema::CurrentVersion)
                                  .toStdString());
}

qint64 HistoryDatabase::insertRunning(const HistoryRecord& record) {
    ensureRecordable();
    try {
        return insertOnce(record);
    } catch (const OrbiZoException& failure) {
        if (failure.code != ErrorCode::HistoryDamaged) throw;
    }
    startOver();
    ensureRecordable();
    return insertOnce(record);
}

qint64 HistoryDatabase::insertOnce(const HistoryRecord& record) {
    qint64 id = 0;
    write(true, "recording the start of an update", [&] {
        const HistoryRecord::Firmware& firmware = record.firmware;
        QSqlQuery query = run(
            "INSERT INTO record (kind, front_end, program_version, user_name, host_name,"
            " started_utc, ended_utc, duration_ms, device_path, serial_number, version_before,"
            " version_after, simulated, latency_timer_ms, firmware_embedded, firmware_version,"
            " firmware_file_name, firmware_file_path, firmware_file_size, firmware_sha256,"
            " outcome, pid, boot_id, process_start, bench_id)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            {HistoryRecord::text(record.kind),
             HistoryRecord::text(record.frontEnd),
             record.programVersion,
             nullable(record.user),
             nullable(record.host),
             HistoryRecord::timeText(record.started),
             nullable(HistoryRecord::timeText(record.ended)),
             record.durationMs < 0 ? QVariant() : QVariant(record.durationMs),
             nullable(record.devicePath),
             nullable(record.serialNumber),
             nullableWord(record.versionBefore),
             nullableWord(record.versionAfter),
             record.simulated ? 1 : 0,
             record.latencyTimerMs < 0 ? QVariant() : QVariant(record.latencyTimerMs),
             firmware.embedded ? 1 : 0,
             nullableWord(firmware.embeddedVersion),
             nullable(firmware.fileName),
             nullable(firmware.filePath),
             firmware.fileSize < 0 ? QVariant() : QVariant(firmware.fileSize),
             nullable(firmware.sha256),
             HistoryRecord::text(record.outcome),
             record.process.pid,
             nullable(record.process.bootId),
             record.process.startTicks < 0 ? QVariant() : QVariant(record.process.startTicks),
             nullable(record.benchId)},
            "recording the start of an update");
        id = query.lastInsertId().toLongLong();
        writeSectors(id, record.sectors);
    });
    return id;
}

void HistoryDatabase::storeSectors(qint64 id, const std::vector<HistoryRecord::Sector>& sectors) {
    ensureRecordable();
    write(false, "recording sector sums", [&] { writeSectors(id, sectors); });
}

void HistoryDatabase::finish(const HistoryRecord& record) {
    ensureRecordable();
    write(true, "recording the end of an update", [&] {
        const HistoryRecord::Failure& failure = record.failure;
        const bool failed = record.outcome == HistoryRecord::Outcome::Failed;
        run("UPDATE record SET ended_utc = ?, duration_ms = ?, version_after = ?, outcome = ?,"
            " failure_code = ?, failure_caption = ?, failure_text = ?, failure_detail = ?,"
            " failure_command = ?, failure_sector = ? WHERE id = ?",
            {nullable(HistoryRecord::timeText(record.ended)),
             record.durationMs < 0 ? QVariant() : QVariant(record.durationMs),
             nullableWord(record.versionAfter), HistoryRecord::text(record.outcome),
             failed ? QVariant(failure.code) : QVariant(),
             failed ? nullable(failure.caption) : QVariant(),
             failed ? nullable(failure.text) : QVariant(),
             failed ? nullable(failure.detail) : QVariant(),
             failed ? nullable(failure.command) : QVariant(),
             failed && failure.sector >= 0 ? QVariant(failure.sector) : QVariant(), record.id},
            "recording the end of an update");
        writeSectors(record.id, record.sectors);
    });
}

void HistoryDatabase::writeSectors(qint64 id, const std::vector<HistoryRecord::Sector>& sectors) {
    for (const HistoryRecord::Sector& sector : sectors) {
        run("INSERT INTO sector (record_id, sector, written, sum) VALUES (?, ?, ?, ?)"
            " ON CONFLICT (record_id, sector) DO UPDATE SET written = excluded.written,"
            " sum = excluded.sum",
            {id, sector.index, sector.written ? 1 : 0,
             sector.sum ? QVariant(static_cast<qint64>(*sector.sum)) : QVariant()},
            "recording sector sums");
    }
}

// One write transaction. BEGIN IMMEDIATE takes the write lock at once (waiting at most the
// busy timeout), so that a transaction never has to give up half-way for another writer.
// `durable`: the commit is synced to disk (synchronous FULL); otherwise it is safe from a
// crash of this process but not from a power cut until the next durable commit.
void HistoryDatabase::write(bool durable, const QString& doing, const std::function<void()>& work) {
    setSynchronous(durable);
    run("BEGIN IMMEDIATE", {}, doing);
    try {
        work();
        run("COMMIT", {}, doing);
    } catch (...) {
        QSqlQuery(database).exec("ROLLBACK");
        throw;
    }
}

void HistoryDatabase::setSynchronous(bool full) {
    const int wanted = full ? 2 : 1;
    if (synchronous == wanted) return;
    run(full ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL", {},
        "setting its synchronous mode");
    synchronous = wanted;
}

std::vector<HistoryRecord> HistoryDatabase::records(const QString& serial, int limit) {
    if (absent) return {};
    HistoryRowReader reader(presentColumns("record"), presentColumns("sector"));
    if (!reader.hasRecords()) return {};
    QVariantList values;
    if (!serial.isEmpty()) values << serial;
    if (limit > 0) values << limit;
    QSqlQuery query =
        run(reader.recordQuery(!serial.isEmpty(), limit > 0), values, "reading its records");
    std::vector<HistoryRecord> found;
    int unknown = 0;
    while (query.next()) {
        if (auto record = reader.record(query))
            found.push_back(std::move(*record));
        else
            ++unknown;
    }
    if (query.lastError().isValid()) fail(query.lastError(), "reading its records");
    query = QSqlQuery();
    if (unknown > 0)
        noticeList << QString(
                          "%1: records of a kind, front end or outcome this program does "
                          "not know are not shown (%2).")
                          .arg(QDir::toNativeSeparators(path))
                          .arg(unknown);
    if (reader.hasSectors() && !found.empty()) {
        QSqlQuery sectors = run(reader.sectorQuery(!serial.isEmpty(), limit > 0), values,
                                "reading its sector sums");
        reader.addSectors(sectors, found);
    }
    return found;
}

QStringList HistoryDatabase::presentColumns(const QString& table) {
    QSqlQuery query = run(QString("PRAGMA table_info(%1)").arg(table), {}, "reading its schema");
    QStringList columns;
    while (query.next()) columns << query.value(1).toString();
    return columns;
}

// The first column of the first row; the statement is done with on return (an unfinished one
// would hold a read transaction open).
QVariant HistoryDatabase::value(const QString& sql, const QString& doing) {
    QSqlQuery query = run(sql, {}, doing);
    QVariant found = query.next() ? query.value(0) : QVariant();
    if (query.lastError().isValid()) fail(query.lastError(), doing);
    query.finish();
    return found;
}

QSqlQuery HistoryDatabase::run(const QString& sql, const QVariantList& values,
                               const QString& doing) {
    QSqlQuery query(database);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) fail(query.lastError(), doing);
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) fail(query.lastError(), doing);
    return query;
}

void HistoryDatabase::fail(const QSqlError& error, const QString& doing) const {
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric) & 0xFF;
    const QString file = QDir::toNativeSeparators(path);
    const QString cause = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    std::int32_t ourCode = ErrorCode::HistoryFailed;
    QString message = QString("%1: %2 failed (%3)").arg(file, doing, cause);
    switch (numeric ? code : -1) {
        case Busy:
        case Locked:
            ourCode = ErrorCode::HistoryLocked;
            message = QString("%1 is locked by another program for longer than %2 ms")
                          .arg(file)
                          .arg(busyTimeoutMs);
            break;
        case ReadOnly:
            ourCode = ErrorCode::HistoryReadOnly;
            message = QString("%1 cannot be written: it is read-only").arg(file);
            break;
        case Full:
            ourCode = ErrorCode::HistoryFull;
            message = QString("%1 cannot grow: the disk is full").arg(file);
            break;
        case Corrupt:
        case NotADatabase:
            ourCode = ErrorCode::HistoryDamaged;
            message = QString("%1 is damaged or not a history file (%2)").arg(file, cause);
            break;
        case CantOpen:
            ourCode = ErrorCode::HistoryCannotOpen;
            message = QString("%1 cannot be opened (%2)").arg(file, cause);
            break;
        default:
            break;
    }
    throw OrbiZoException(ourCode, message.toStdString());
}

}  // namespace History
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
