#include <sys/stat.h>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <vector>

#include "HistoryFixture.h"
#include "history/HistorySchema.h"

// A history that cannot be used leaves the update alone: one warning, no exception, no wait
// beyond the busy timeout. Several processes at once all record.
namespace HistoryTest {
namespace {

constexpr int kShortTimeoutMs = 100;

// Runs a whole record against the file: begin, three sectors, finish. Returns the warnings.
QStringList recordOnce(const QString& path, int timeoutMs = kShortTimeoutMs) {
    HistoryRecorder recorder(path, timeoutMs);
    recorder.begin(sampleRecord());
    for (int sector : {1, 4, 5}) {
        recorder.sectorWritten(sector);
        recorder.sectorConfirmed(sector, 0x100u + sector);
    }
    recorder.finish(Outcome::Succeeded, 0x0109);
    return recorder.takeWarnings();
}

using HistoryFault = HistoryFixture;

TEST_F(HistoryFault, FolderThatCannotBeMade) {
    QFile blocker(folder.filePath("state"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QStringList warnings = recordOnce(path);
    ASSERT_EQ(warnings.size(), 1) << warnings.join('\n').toStdString();
    EXPECT_EQ(warnings.front(),
              "Update history: " + path +
                  " cannot be opened: its folder cannot be made; this update is not recorded.");
}

// Read-only to the user: the test drops to an unprivileged user in a child when it runs as
// root, for whom permissions do not count.
TEST_F(HistoryFault, ReadOnlyFile) {
    ASSERT_TRUE(recordOnce(path).isEmpty());
    const QString dir = QFileInfo(path).absolutePath();
    for (const QString& writable : {folder.path(), folder.filePath("state"), dir})
        ::chmod(QFile::encodeName(writable).constData(), 0755);
    ::chmod(QFile::encodeName(dir).constData(), 0555);
    ::chmod(QFile::encodeName(path).constData(), 0444);
    const QByteArray before = fileHash();
    const std::string said = inChild([&](int pipe) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        say(pipe, recordOnce(path));
    });
    ::chmod(QFile::encodeName(dir).constData(), 0755);
    const QStringList warnings = QString::fromStdString(said).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(warnings.size(), 1) << said;
    EXPECT_TRUE(warnings.front().startsWith("Update history: " + path)) << said;
    EXPECT_TRUE(warnings.front().endsWith("; this update is not recorded.")) << said;
    EXPECT_EQ(fileHash(), before);
    EXPECT_EQ(read().records.size(), 1u);
}

// Another program holds the write lock for the whole update, or from after its begin.
TEST_F(HistoryFault, LockedBeyondTheTimeout) {
    ASSERT_TRUE(recordOnce(path).isEmpty());
    struct Case {
        const char* name;
        bool lockBeforeBegin;
        const char* consequence;
        std::size_t records;  // afterwards
    };
    const Case cases[] = {
        {"whole update", true, "; this update is not recorded.", 1},
        {"after begin", false,
         "; the record of this update stays unfinished and will read as interrupted.", 2},
    };
    for (const Case& c : cases) {
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
        holder.setDatabaseName(path);
        ASSERT_TRUE(holder.open());
        QSqlQuery lock(holder);
        HistoryRecorder recorder(path, kShortTimeoutMs);
        if (!c.lockBeforeBegin) recorder.begin(sampleRecord());
        ASSERT_TRUE(lock.exec("BEGIN EXCLUSIVE")) << c.name;
        recorder.begin(sampleRecord());
        for (int sector : {1, 4, 5}) {
            recorder.sectorWritten(sector);
            recorder.sectorConfirmed(sector, 7);
        }
        recorder.finish(Outcome::Succeeded, 0x0109);
        const QStringList warnings = recorder.takeWarnings();
        ASSERT_EQ(warnings.size(), 1) << c.name << ": " << warnings.join('\n').toStdString();
        EXPECT_EQ(warnings.front(), "Update history: " + path +
                                        " is locked by another program for longer than 100 ms" +
                                        c.consequence)
            << c.name;
        lock.exec("ROLLBACK");
        lock = QSqlQuery();
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase("holder");
        EXPECT_EQ(read().records.size(), c.records) << c.name;
    }
}

// A damaged file is moved aside with its bytes, and the update recorded in a new one.
TEST_F(HistoryFault, DamagedFileIsMovedAside) {
    struct Case {
        const char* name;
        std::function<QByteArray(QByteArray)> damage;  // from a good file's bytes
    };
    const Case cases[] = {
        {"not a database", [](QByteArray) { return QByteArray(8192, 'x'); }},
        {"schema page overwritten",
         [](QByteArray bytes) {
             for (int i = 100; i < 4096 && i < bytes.size(); ++i) bytes[i] = char(0xA5);
             return bytes;
         }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(recordOnce(path).isEmpty()) << c.name;
        sql({"PRAGMA wal_checkpoint(TRUNCATE)"});  // all in the file, where the damage goes
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray damaged = c.damage(file.readAll());
        file.close();
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damaged);
        file.close();

        const QStringList warnings = recordOnce(path);
        ASSERT_EQ(warnings.size(), 1) << c.name << ": " << warnings.join('\n').toStdString();
        const QRegularExpression expected(
            "^Update history: " + QRegularExpression::escape(path) +
            " was damaged: it was moved "
            "aside to (" +
            QRegularExpression::escape(path) +
            "\\.corrupt-\\d{8}T\\d{9}Z) and a new history was begun\\.$");
        const QRegularExpressionMatch match = expected.match(warnings.front());
        ASSERT_TRUE(match.hasMatch()) << c.name << ": " << warnings.front().toStdString();
        QFile aside(match.captured(1));
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly)) << c.name;
        EXPECT_EQ(aside.readAll(), damaged) << c.name;
        const HistoryReader::Result result = read();
        EXPECT_TRUE(result.warnings.isEmpty()) << c.name;
        EXPECT_EQ(result.records.size(), 1u) << c.name;
        QFile::remove(path);
    }
}

// A later program's file: left byte for byte as it was, read as far as understood.
TEST_F(HistoryFault, NewerSchemaIsLeftAlone) {
    ASSERT_TRUE(recordOnce(path).isEmpty());
    const int newer = HistorySchema::CurrentVersion + 1;
    sql({"ALTER TABLE record ADD COLUMN operator_badge TEXT",
         "INSERT INTO record (kind, front_end, program_version, started_utc, simulated,"
         " firmware_embedded, outcome, operator_badge) VALUES ('calibrate', 'cli', '9.0',"
         " '2027-01-01T00:00:00.000Z', 0, 1, 'succeeded', 'B-17')",
         QString("PRAGMA user_version = %1").arg(newer), "PRAGMA wal_checkpoint(TRUNCATE)"});
    const QByteArray before = fileHash();

    const QStringList warnings = recordOnce(path);
    ASSERT_EQ(warnings.size(), 1) << warnings.join('\n').toStdString();
    EXPECT_EQ(warnings.front(),
              QString("Update history: %1 was written by a newer version of this program (schema "
                      "%2; this one knows up to %3). It is left unchanged and nothing is recorded "
                      "in it: new records wait for a program that knows its schema.")
                  .arg(path)
                  .arg(newer)
                  .arg(HistorySchema::CurrentVersion));
    EXPECT_EQ(fileHash(), before);

    const HistoryReader::Result result = read();
    EXPECT_TRUE(result.readable);
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(result.records.front().serialNumber, "OZ3S000001");
    ASSERT_EQ(result.warnings.size(), 2) << result.warnings.join('\n').toStdString();
    EXPECT_TRUE(result.warnings[0].endsWith("it is shown as far as this program understands it."));
    EXPECT_EQ(result.warnings[1],
              "Update history: " + path +
                  ": records of a kind, front end or outcome this program does not know are not "
                  "shown (1).");
    EXPECT_EQ(fileHash(), before);
}

// 8 processes, 50 records each, all at once on a file none of them finds: 400 whole records.
TEST_F(HistoryFault, ProcessesRecordingAtOnce) {
    constexpr int kProcesses = 8;
    constexpr int kRecords = 50;
    const std::vector<int> sectors{1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
        const pid_t child = ::fork();
        if (child == 0) {
            for (int n = 0; n < kRecords; ++n) {
                // Long enough never to matter: the test is about losing nothing.
                HistoryRecorder recorder(path, 60000);
                HistoryRecord record =
                    sampleRecord(QString("OZ3S00%1").arg(process, 4, 10, QChar('0')));
                record.benchId = QString("%1/%2").arg(process).arg(n);
                recorder.begin(record);
                for (int sector : sectors) {
                    recorder.sectorWritten(sector);
                    recorder.sectorConfirmed(sector, process * 100000 + n * 100 + sector);
                }
                recorder.finish(Outcome::Succeeded, 0x0109);
                if (!recorder.takeWarnings().isEmpty()) ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = -1;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << child;
    }

    const HistoryReader::Result result = read();
    EXPECT_TRUE(result.warnings.isEmpty());
    ASSERT_EQ(result.records.size(), std::size_t(kProcesses * kRecords));
    QSet<QString> seen;
    for (const HistoryRecord& record : result.records) {
        const QStringList bench = record.benchId.split('/');
        ASSERT_EQ(bench.size(), 2);
        const int process = bench[0].toInt();
        const int n = bench[1].toInt();
        EXPECT_EQ(record.serialNumber, QString("OZ3S00%1").arg(process, 4, 10, QChar('0')));
        EXPECT_EQ(record.outcome, Outcome::Succeeded);
        ASSERT_EQ(record.sectors.size(), sectors.size()) << record.benchId.toStdString();
        for (std::size_t i = 0; i < sectors.size(); ++i) {
            EXPECT_EQ(record.sectors[i].index, sectors[i]);
            EXPECT_EQ(record.sectors[i].sum,
                      std::uint32_t(process * 100000 + n * 100 + sectors[i]));
        }
        seen.insert(record.benchId);
    }
    EXPECT_EQ(seen.size(), kProcesses * kRecords);
}

}  // namespace
}  // namespace HistoryTest
