#include <gtest/gtest.h>

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <map>

#include "cli/ServiceBench.h"

// orbizo3-cli's service bench run as a script runs it, over simulated tables that every child
// builds alike (OZ3S000001, ...), one of them armed with --simulated-fault. The tests follow
// the JSON Lines as they come and act on events, never on time.
namespace {

using Korvane::DeviceDriver::OrbiZo::Cli::ServiceBench;

const QString kBenchFirmware = ORBIZO3_SOURCE_DIR "/src/resources/FW_Zo3.zof";

class Bench {
public:
    explicit Bench(const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& name : environment.keys()) {
            if (name.startsWith("ORBIZO3_")) environment.remove(name);
        }
        process.setProcessEnvironment(environment);
        process.start(ORBIZO3_CLI, arguments);
        EXPECT_TRUE(process.waitForStarted(-1));
    }

    // Reads events until one satisfies `wanted` (returned) or the output ends (empty object).
    QJsonObject waitFor(const std::function<bool(const QJsonObject&)>& wanted) {
        for (;;) {
            while (process.canReadLine()) {
                const QByteArray line = process.readLine().trimmed();
                QJsonParseError error;
                const QJsonDocument document = QJsonDocument::fromJson(line, &error);
                EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
                events.append(document.object());
                if (wanted(document.object())) return document.object();
            }
            if (process.state() == QProcess::NotRunning) return QJsonObject();
            process.waitForReadyRead(-1);
        }
    }
    QJsonObject waitFor(const QString& event, const QString& serial = QString()) {
        return waitFor([&](const QJsonObject& e) {
            return e["event"].toString() == event &&
                   (serial.isEmpty() || e["serial_number"].toString() == serial);
        });
    }
    // Reads to the end; the exit code.
    int finish() {
        waitFor([](const QJsonObject&) { return false; });
        process.waitForFinished(-1);
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    // The summary's table objects by serial number.
    std::map<QString, QJsonObject> outcomes() const {
        std::map<QString, QJsonObject> tables;
        for (const QJsonObject& e : events) {
            if (e["event"].toString() != "summary") continue;
            for (const QJsonValue& table : e["tables"].toArray())
                tables[table["serial_number"].toString()] = table.toObject();
        }
        return tables;
    }

    QProcess process;
    QList<QJsonObject> events;
};

QStringList benchArguments(int tables, const QString& fault, const QStringList& more = {}) {
    QStringList arguments{"--simulated-tables", QString::number(tables), "--json", "--yes"};
    if (!fault.isEmpty()) arguments << "--simulated-fault" << fault;
    return arguments + more;
}

// One table goes wrong, the others are updated all the same; each table's record carries the
// bench's id.
TEST(ServiceBench, OneFailingTableLeavesTheOthersUpdated) {
    const struct Case {
        QString fault;
        QString outcome;
        QString where;
    } cases[] = {
        {"OZ3S000002:unplug-after:60", "disconnected", "u1 in sector 4"},
        {"OZ3S000002:damaged:u7", "failed", "u7 in sector 4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault.toStdString());
        QTemporaryDir dir;
        const QString history = dir.filePath("history.sqlite3");
        Bench bench(benchArguments(
            3, c.fault,
            {"--history", history, "--trace", dir.filePath("t.trace"), "update", "--all"}));
        EXPECT_EQ(bench.finish(), 1);
        auto tables = bench.outcomes();
        ASSERT_EQ(tables.size(), 3u);
        for (const QString serial : {"OZ3S000001", "OZ3S000003"}) {
            EXPECT_EQ(tables[serial]["outcome"].toString(), "updated");
            EXPECT_EQ(tables[serial]["version_before"].toString(), "1.07");
            EXPECT_EQ(tables[serial]["version_after"].toString(), "1.09");
        }
        // One trace per table (the file itself keeps the finding of the tables).
        for (const QString serial : {"OZ3S000001", "OZ3S000002", "OZ3S000003"})
            EXPECT_GT(QFileInfo(dir.filePath("t-" + serial + ".trace")).size(), 0);
        const QJsonObject failed = tables["OZ3S000002"];
        EXPECT_EQ(failed["outcome"].toString(), c.outcome);
        EXPECT_EQ(failed["where"].toString().toStdString(), c.where.toStdString());
        EXPECT_FALSE(failed["message"].toString().isEmpty());

        QProcess reader;
        reader.start(ORBIZO3_CLI, {"--history", history, "--json", "history"});
        reader.waitForFinished(-1);
        const QJsonArray records =
            QJsonDocument::fromJson(reader.readAllStandardOutput()).object()["records"].toArray();
        ASSERT_EQ(records.size(), 3);
        const QString benchId = bench.events.last()["bench_id"].toString();
        for (const QJsonValue& record : records) EXPECT_EQ(record["bench_id"].toString(), benchId);
    }
}

TEST(ServiceBench, TextSummaryNamesTheFailureAndWhere) {
    QProcess process;
    process.start(ORBIZO3_CLI,
                  {"--simulated-tables", "2", "--simulated-fault", "OZ3S000001:damaged:u7",
                   "--no-history", "--yes", "update", "--all"});
    process.waitForFinished(-1);
    EXPECT_EQ(process.exitCode(), 1);
    const QString out = process.readAllStandardOutput();
    EXPECT_TRUE(out.contains(QRegularExpression(
        "\nOZ3S000001 +1\\.07 -> - +failed +\\d+\\.\\d s +.*u7 in sector 4\\]\n")))
        << out.toStdString();
    EXPECT_TRUE(
        out.contains(QRegularExpression("\nOZ3S000002 +1\\.07 -> 1\\.09 +updated +\\d+\\.\\d s\n")))
        << out.toStdString();
    EXPECT_TRUE(out.contains("\nFinding and opening the tables before the first sector: "));
}

// A refused file refuses the whole bench: no child, no table opened, not even a trace file.
TEST(ServiceBench, RefusedFileTouchesNoTable) {
    QTemporaryDir dir;
    const QString small = dir.filePath("small.zof");
    QFile file(small);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(":00000001FF\r\n");
    file.close();
    Bench bench(benchArguments(
        2, "", {"--no-history", "--trace", dir.filePath("t.trace"), "update", "--all", small}));
    EXPECT_EQ(bench.finish(), 1);
    ASSERT_EQ(bench.events.size(), 1);
    EXPECT_TRUE(bench.events[0].contains("error"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"small.zof"});
}

// A child killed in the middle of its update is a failed table, never a success; the others
// go on.
TEST(ServiceBench, KilledChildFailsItsTableOnly) {
    Bench bench(benchArguments(2, "OZ3S000002:slow:u7:300", {"--no-history", "update", "--all"}));
    const qint64 pid = bench.waitFor("started", "OZ3S000002")["pid"].toInteger();
    ASSERT_GT(pid, 0);
    bench.waitFor([](const QJsonObject& e) {
        return e["serial_number"].toString() == "OZ3S000002" && e["sector"].toInt() >= 1;
    });
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    EXPECT_EQ(bench.finish(), 1);
    auto tables = bench.outcomes();
    EXPECT_EQ(tables["OZ3S000001"]["outcome"].toString(), "updated");
    EXPECT_EQ(tables["OZ3S000002"]["outcome"].toString(), "failed");
    EXPECT_TRUE(tables["OZ3S000002"]["message"].toString().contains("signal 9"));
}

// Ctrl-C twice: the first only warns, the second stops the bench; each is passed on once.
TEST(ServiceBench, SecondInterruptCancelsTheBench) {
    Bench bench(benchArguments(1, "OZ3S000001:slow:u7:300", {"--no-history", "update", "--all"}));
    bench.waitFor([](const QJsonObject& e) { return e["sector"].toInt() >= 1; });
    ::kill(static_cast<pid_t>(bench.process.processId()), SIGINT);
    EXPECT_EQ(bench.waitFor("interrupt")["step"].toInt(), 1);
    ::kill(static_cast<pid_t>(bench.process.processId()), SIGINT);
    EXPECT_EQ(bench.waitFor("interrupt")["step"].toInt(), 2);
    EXPECT_EQ(bench.finish(), 1);
    EXPECT_EQ(bench.outcomes()["OZ3S000001"]["outcome"].toString(), "cancelled");
}

// A child finds another table than the one it was told at its path: it leaves it alone.
TEST(ServiceBench, ChildRefusesAnotherTable) {
    QFile firmware(kBenchFirmware);
    ASSERT_TRUE(firmware.open(QIODevice::ReadOnly));
    QProcess child;
    child.start(ORBIZO3_CLI, {"--simulated-tables", "2", "--no-history", "--yes", "--device",
                              "\\\\?\\usb#vid_1209&pid_7a03#OZ3S000001#{a5dcbf10-6530-11d2-901f-"
                              "00c04fb951ed}",
                              "update", "--bench-child", "OZ3S000002", "--bench-id", "b"});
    child.write(firmware.readAll());
    child.closeWriteChannel();
    child.waitForFinished(-1);
    EXPECT_EQ(child.exitCode(), 1);
    const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split('\n');
    const QJsonObject last = QJsonDocument::fromJson(lines.last()).object();
    EXPECT_EQ(last["outcome"].toString(), "failed");
    EXPECT_TRUE(last["message"].toString().contains("expected OZ3S000002"))
        << lines.last().toStdString();
    for (const QByteArray& line : lines)
        EXPECT_NE(QJsonDocument::fromJson(line).object()["event"].toString(), "identified");
}

TEST(ServiceBench, VerifyAllComparesEveryTable) {
    Bench bench(benchArguments(2, "", {"--no-history", "verify", "--all", kBenchFirmware}));
    EXPECT_EQ(bench.finish(), 1);
    for (const auto& table : bench.outcomes())
        EXPECT_EQ(table.second["outcome"].toString(), "differs");
    EXPECT_EQ(bench.outcomes().size(), 2u);
}

TEST(ServiceBench, TraceFilePerTable) {
    EXPECT_EQ(ServiceBench::traceFileOf("/t/bench.trace", "OZ3S000001"),
              "/t/bench-OZ3S000001.trace");
    EXPECT_EQ(ServiceBench::traceFileOf("bench", "OZ3S000002"), "bench-OZ3S000002");
}

}  // namespace
