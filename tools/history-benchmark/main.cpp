// The cost of the service history to an update, and of reading it:
//   history: record adds N ms to an update
//     one record as an update makes it (recorder made, begin, 15 sectors written and
//     confirmed, finish, recorder gone), durable writes included, median of RUNS records
//     into a history that already holds some
//   history: query by serial over 100000 records M ms
//     HistoryReader::read of one table's records (with their sector sums) from a file of
//     100000 records of 200 tables, median of RUNS reads
//   orbizo3-history-benchmark [FOLDER] [RUNS]   (FOLDER default: a temporary folder; use one on
//   the disk whose figures matter, as the durable writes wait for it)
#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QVariant>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "history/HistoryReader.h"
#include "history/HistoryRecorder.h"

using namespace Korvane::DeviceDriver::OrbiZo::History;

namespace {

constexpr int kRecords = 100000;
constexpr int kTables = 200;
constexpr int kSectors = 15;

QString serial(int table) {
    return QString("OZ3S%1").arg(table, 6, 10, QChar('0'));
}

HistoryRecord updateRecord(int table) {
    HistoryRecord record;
    record.programVersion = "1.9.0";
    record.devicePath = "\\\\?\\usb#vid_1209&pid_7a03#" + serial(table) + "#{a5dcbf10}";
    record.serialNumber = serial(table);
    record.versionBefore = 0x0107;
    record.latencyTimerMs = 2;
    record.firmware.embeddedVersion = 0x0109;
    record.firmware.sha256 = QString(64, 'f');
    return record;
}

struct Times {
    double begin = 0;
    double sectors = 0;
    double finish = 0;
    double total = 0;
};

// One record, timed call by call; the recorder's making and ending count to the total.
Times recordOnce(const QString& path, int table) {
    Times times;
    QElapsedTimer total;
    total.start();
    {
        HistoryRecorder recorder(path);
        QElapsedTimer step;
        step.start();
        recorder.begin(updateRecord(table));
        times.begin = step.nsecsElapsed() / 1e6;
        step.restart();
        for (int sector = 0; sector < kSectors; ++sector) {
            recorder.sectorWritten(sector);
            recorder.sectorConfirmed(sector, 0x7F800u + sector);
        }
        times.sectors = step.nsecsElapsed() / 1e6;
        step.restart();
        recorder.finish(HistoryRecord::Outcome::Succeeded, 0x0109);
        times.finish = step.nsecsElapsed() / 1e6;
        for (const QString& warning : recorder.takeWarnings())
            std::fprintf(stderr, "%s\n", qPrintable(warning));
    }
    times.total = total.nsecsElapsed() / 1e6;
    return times;
}

// One 4 KiB write and fdatasync in `folder`: what a durable commit waits for at least. A record
// waits for three (the log at begin, the folder once a connection, the log at finish).
double syncMilliseconds(const QString& folder) {
    const QByteArray file = QFile::encodeName(folder + "/sync-probe");
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return -1;
    const QByteArray page(4096, 'x');
    QElapsedTimer timer;
    timer.start();
    constexpr int kSyncs = 20;
    for (int n = 0; n < kSyncs; ++n) {
        if (::write(fd, page.constData(), page.size()) < 0 || ::fdatasync(fd) != 0) break;
    }
    const double ms = timer.nsecsElapsed() / 1e6 / kSyncs;
    ::close(fd);
    ::unlink(file.constData());
    return ms;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Fills the file to kRecords finished records in one transaction (the recorder's durable
// writes would take hours), with the recorder's own columns.
bool fill(const QString& path, int existing) {
    bool ok = true;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "fill");
        database.setDatabaseName(path);
        ok = database.open();
        QSqlQuery query(database);
        ok = ok && query.exec("BEGIN");
        QSqlQuery record(database);
        QSqlQuery sector(database);
        ok = ok && record.prepare(
                       "INSERT INTO record (kind, front_end, program_version, user_name, "
                       "host_name, started_utc, ended_utc, duration_ms, device_path, "
                       "serial_number, version_before, version_after, simulated, "
                       "latency_timer_ms, firmware_embedded, firmware_version, firmware_sha256, "
                       "outcome, pid, boot_id, process_start) VALUES ('update', 'cli', '1.9.0', "
                       "'service', 'bench-pc', ?, ?, 48000, ?, ?, 263, 265, 0, 2, 1, 265, ?, "
                       "'succeeded', 4242, 'boot', 1)");
        ok = ok && sector.prepare("INSERT INTO sector VALUES (?, ?, 1, ?)");
        const qint64 firstMs =
            QDateTime(QDate(2020, 1, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
        for (int n = existing; ok && n < kRecords; ++n) {
            const QDateTime started =
                QDateTime::fromMSecsSinceEpoch(firstMs + qint64(n) * 600000, QTimeZone::utc());
            const int table = n % kTables;
            record.addBindValue(HistoryRecord::timeText(started));
            record.addBindValue(HistoryRecord::timeText(started.addMSecs(48000)));
            record.addBindValue("\\\\?\\usb#vid_1209&pid_7a03#" + serial(table) + "#{a5dcbf10}");
            record.addBindValue(serial(table));
            record.addBindValue(QString(64, 'f'));
            ok = record.exec();
            const qint64 id = record.lastInsertId().toLongLong();
            for (int s = 0; ok && s < kSectors; ++s) {
                sector.addBindValue(id);
                sector.addBindValue(s);
                sector.addBindValue(0x7F800 + s);
                ok = sector.exec();
            }
        }
        ok = ok && query.exec("COMMIT");
        if (!ok)
            std::fprintf(stderr, "filling failed: %s\n", qPrintable(record.lastError().text()));
    }
    QSqlDatabase::removeDatabase("fill");
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 25;
    const QString path = folder + "/orbizo3-history-benchmark.sqlite3";
    QFile::remove(path);

    // A history that already holds records, as it will after some use.
    for (int n = 0; n < 10; ++n) recordOnce(path, n % kTables);
    std::vector<double> begin, sectors, finish, total;
    for (int n = 0; n < runs; ++n) {
        const Times times = recordOnce(path, n % kTables);
        begin.push_back(times.begin);
        sectors.push_back(times.sectors);
        finish.push_back(times.finish);
        total.push_back(times.total);
    }
    std::printf("history: record adds %.1f ms to an update\n", median(total));
    std::printf("  one 4 KiB fdatasync in that folder: %.1f ms\n", syncMilliseconds(folder));
    std::printf(
        "  median of %d: begin %.1f ms, %d sectors %.1f ms, finish %.1f ms; slowest %.1f ms\n",
        runs, median(begin), kSectors, median(sectors), median(finish),
        *std::max_element(total.begin(), total.end()));

    if (!fill(path, 10 + runs)) return 1;
    std::vector<double> query;
    std::size_t found = 0;
    for (int n = 0; n < runs; ++n) {
        QElapsedTimer timer;
        timer.start();
        const HistoryReader::Result result = HistoryReader::read(path, serial(n % kTables), 0);
        query.push_back(timer.nsecsElapsed() / 1e6);
        found = result.records.size();
        for (const QString& warning : result.warnings)
            std::fprintf(stderr, "%s\n", qPrintable(warning));
    }
    std::printf("history: query by serial over %d records %.1f ms\n", kRecords, median(query));
    std::printf("  median of %d reads of one table's %zu records with their sector sums\n", runs,
                found);
    QFile::remove(path);
    QFile::remove(path + "-wal");
    QFile::remove(path + "-shm");
    return 0;
}
