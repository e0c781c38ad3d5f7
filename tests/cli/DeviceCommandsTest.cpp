#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <csignal>
#include <string>

// list, info and update of orbizo3-cli against simulated tables, and without any table.
namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

class DeviceCommands : public ::testing::Test {
protected:
    // Runs orbizo3-cli; `simulated` sets ORBIZO3_SIMULATOR (empty: unset).
    Outcome run(const QStringList& arguments, const QString& simulated = QString(),
                const QByteArray& input = QByteArray()) {
        QProcess process;
        start(process, arguments, simulated);
        process.write(input);
        process.closeWriteChannel();
        return finish(process);
    }

    void start(QProcess& process, const QStringList& arguments, const QString& simulated) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("ORBIZO3_SIMULATOR");
        if (!simulated.isEmpty()) environment.insert("ORBIZO3_SIMULATOR", simulated);
        process.setProcessEnvironment(environment);
        process.start(ORBIZO3_CLI, arguments);
        ASSERT_TRUE(process.waitForStarted());
    }

    static Outcome finish(QProcess& process) {
        Outcome outcome;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
            ADD_FAILURE() << "orbizo3-cli did not finish normally";
            return outcome;
        }
        outcome.exitCode = process.exitCode();
        outcome.out = QString::fromUtf8(process.readAllStandardOutput());
        outcome.err = QString::fromUtf8(process.readAllStandardError());
        return outcome;
    }

    static QList<int> progressValues(const QString& out) {
        QList<int> values;
        const QRegularExpression line("^Progress: (\\d+)%$", QRegularExpression::MultilineOption);
        for (auto it = line.globalMatch(out); it.hasNext();)
            values << it.next().captured(1).toInt();
        return values;
    }

    QString writeFile(const QString& name, const QByteArray& content) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    QTemporaryDir dir;
};

const QString kFirstTablePath =
    "\\\\?\\usb#vid_1209&pid_7a03#OZ3S000001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

TEST_F(DeviceCommands, UpdateOfTheEmbeddedFirmware) {
    const Outcome o = run({"--simulate", "update", "--yes"});
    ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
    EXPECT_EQ(progressValues(o.out), (QList<int>{5, 15, 15, 15, 15, 15, 15, 22, 29, 36, 44, 51, 58,
                                                 66, 73, 80, 88, 90, 100}));
    EXPECT_TRUE(o.out.contains("Start update OrbiZo3 with serial number OZ3S000001\n"));
    EXPECT_TRUE(o.out.endsWith("Successfully updated firmware.\nFirmware version: 1.09\n"))
        << o.out.toStdString();
    EXPECT_EQ(o.err, "");
}

TEST_F(DeviceCommands, ListAndInfoShowTheTables) {
    const Outcome list = run({"list"}, "2");
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, kFirstTablePath + "\tOZ3S000001\t1.07\tsimulated\n" +
                            QString(kFirstTablePath).replace("000001", "000002") +
                            "\tOZ3S000002\t1.07\tsimulated\n");

    const QString second = QString(kFirstTablePath).replace("000001", "000002");
    const Outcome info = run({"--simulate", "--device", second, "info"}, "2");
    EXPECT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_EQ(info.out,
              "Serial number: OZ3S000002\nFirmware version: 1.07\nLatency timer: 2 ms\n"
              "Simulated table (ORBIZO3_SIMULATOR is set)\n");
}

TEST_F(DeviceCommands, TraceRecordsWhatCrossedTheWire) {
    const QString trace = dir.filePath("usb.trace");
    ASSERT_EQ(run({"--simulate", "--trace", trace, "info"}).exitCode, 0);
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // The version query ";a1" with its checksum and CR, written to endpoint 0x02.
    EXPECT_TRUE(QString::fromLatin1(file.readAll())
                    .contains(QRegularExpression(" OUT 02 6 3b6131[0-9a-f]{4}0d\n")));
}

// The converter requests of the one connection `info` makes, from the trace: "request value"
// to the converter, "request -> data" from it; and the latency in effect that info shows.
TEST_F(DeviceCommands, LatencyTimerFollowsTheFiveConverterRequestsAndIsReadBack) {
    const QStringList five = {"00 0000", "00 0001", "00 0002", "03 0034", "04 0008"};
    const struct {
        QStringList options;
        QStringList requests;
        const char* shown;
    } cases[] = {
        {{}, five + QStringList{"09 0002", "0a -> 02"}, "Latency timer: 2 ms\n"},
        {{"--latency-timer", "1"},
         five + QStringList{"09 0001", "0a -> 01"},
         "Latency timer: 1 ms\n"},
        {{"--latency-timer", "255"},
         five + QStringList{"09 00ff", "0a -> ff"},
         "Latency timer: 255 ms\n"},
        {{"--no-latency-timer"}, five, "Latency timer: 16 ms\n"},
    };
    int traces = 0;
    for (const auto& c : cases) {
        const QString trace = dir.filePath(QString("usb%1.trace").arg(++traces));
        const Outcome o =
            run(QStringList{"--simulate", "--trace", trace} + c.options + QStringList{"info"});
        ASSERT_EQ(o.exitCode, 0) << o.err.toStdString();
        EXPECT_TRUE(o.out.contains(c.shown)) << o.out.toStdString();
        QFile file(trace);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QStringList requests;
        const QRegularExpression control(
            " CTRL (40|c0) ([0-9a-f]{2}) ([0-9a-f]{4}) 0000 [01] ?([0-9a-f]*)$",
            QRegularExpression::MultilineOption);
        for (auto it = control.globalMatch(QString::fromLatin1(file.readAll())); it.hasNext();) {
            const auto match = it.next();
            if (match.captured(1) == "40")
                requests << match.captured(2) + ' ' + match.captured(3);
            else
                requests << match.captured(2) + " -> " + match.captured(4);
        }
        EXPECT_EQ(requests, c.requests) << c.options.join(' ').toStdString();
    }
}

TEST_F(DeviceCommands, LatencyTimerOutsideOneTo255IsAUsageError) {
    for (const QString& value : QStringList{"0", "256", "-1", "2.5", "x", ""}) {
        const Outcome o = run({"--simulate", "--latency-timer", value, "info"});
        EXPECT_EQ(o.exitCode, 2) << value.toStdString();
        EXPECT_TRUE(
            o.err.startsWith("--latency-timer takes 1 to 255 milliseconds, not '" + value + "'.\n"))
            << o.err.toStdString();
        EXPECT_EQ(o.out, "");
    }
    const Outcome both = run({"--simulate", "--latency-timer", "2", "--no-latency-timer", "info"});
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_TRUE(both.err.startsWith("--latency-timer and --no-latency-timer exclude each other."))
        << both.err.toStdString();
}

TEST_F(DeviceCommands, UnwritableTraceFileIsRefusedBeforeTheTableIsTouched) {
    const QString trace = dir.filePath("no-such-directory/usb.trace");
    for (const QStringList& command :
         {QStringList{"list"}, QStringList{"info"}, QStringList{"update", "--yes"}}) {
        const Outcome o = run(QStringList{"--simulate", "--trace", trace} + command);
        EXPECT_EQ(o.exitCode, 1) << command.join(' ').toStdString();
        EXPECT_TRUE(o.err.startsWith("Cannot write USB trace file '" + trace + "': "))
            << o.err.toStdString();
        EXPECT_EQ(o.out, "") << command.join(' ').toStdString();
    }
}

TEST_F(DeviceCommands, WithoutAnyTableNothingIsConnected) {
    const Outcome list = run({"list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, "No OrbiZo3 connected\n");

    for (const QStringList& arguments : {QStringList{"info"}, QStringList{"update", "--yes"}}) {
        const Outcome o = run(arguments);
        EXPECT_EQ(o.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_EQ(o.err, "No OrbiZo3 connected\nConnect an OrbiZo3 instrument.\n");
    }
}

// A --device value that names no present table is no table: nothing is opened under it and
// nothing is recorded, whichever command asks.
TEST_F(DeviceCommands, DeviceNamingNoPresentTableIsNotConnected) {
    const QString history = dir.filePath("history.sqlite3");
    const QString firmware = ORBIZO3_SOURCE_DIR "/src/resources/FW_Zo3.zof";
    for (const QString& name :
         {QString(kFirstTablePath).replace("OZ3S000001", "ELSEWHERE"), QString("OZ3S000009")}) {
        for (const QStringList& command :
             {QStringList{"info"}, QStringList{"update"}, QStringList{"verify", firmware}}) {
            const QStringList arguments =
                QStringList{"--simulate", "--yes", "--history", history, "--device", name} +
                command;
            const Outcome o = run(arguments);
            EXPECT_EQ(o.exitCode, 1) << arguments.join(' ').toStdString();
            EXPECT_EQ(o.err,
                      "No OrbiZo3 connected\nConnect an OrbiZo3 instrument.\n[No OrbiZo3 "
                      "with the device path or serial number '" +
                          name + "' is connected]\n");
        }
    }
    EXPECT_FALSE(QFile::exists(history));

    // A table that gives no serial number may be the one asked for: the detail says so.
    const Outcome silent = run({"--simulated-tables", "2", "--simulated-fault",
                                "OZ3S000001:damaged:a1", "--device", "OZ3S000009", "info"});
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_TRUE(
        silent.err.endsWith("is connected; 1 connected OrbiZo3 gave no serial number "
                            "('orbizo3-cli list' tells why)]\n"))
        << silent.err.toStdString();
}

TEST_F(DeviceCommands, AnswerOtherThanYesCancelsBeforeAnythingIsSent) {
    const Outcome o = run({"--simulate", "update"}, QString(), "y\nyes\nn\n");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(o.out.count("[y/N] "), 3);
    EXPECT_TRUE(
        o.out.contains("Do you want to update this OrbiZo?\n"
                       "Follow the on screen instructions carefully.\n"));
    EXPECT_TRUE(o.out.endsWith("Update cancelled.\n"));
    EXPECT_TRUE(progressValues(o.out).isEmpty());

    const Outcome noInput = run({"--simulate", "update"});
    EXPECT_EQ(noInput.exitCode, 1);
    EXPECT_EQ(noInput.out.count("[y/N] "), 1);
}

TEST_F(DeviceCommands, RefusedFirmwareFilesFailWithTheirReason) {
    struct Case {
        QString file;
        QString err;
    };
    const Case cases[] = {
        {dir.filePath("missing.zof"),
         "Firmware update failed\nFirmware file not found.\n[No such file or directory]\n"},
        {writeFile("huge.zof", QByteArray(16 * 1024 * 1024 + 1, '\n')),
         "Firmware update failed\nFirmware file is too large.\n[larger than 16777216 bytes]\n"},
        // Opens, but fails part-way through reading.
        {"/proc/self/mem",
         "Firmware update failed\nFirmware file could not be read completely.\n"
         "[Input/output error]\n"},
        {writeFile("short.zof", ":00000001FF\r\n"),
         "Firmware update failed\nNo valid firmware (13)\n"},
        {writeFile("sector0.zof", ":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n" +
                                      QByteArray(10000, '\n')),
         "Firmware update failed\n[Firmware contains sector 0.]\n"},
        {writeFile("address-only.zof",
                   ":020000040001F9\r\n:00000001FF\r\n" + QByteArray(10000, '\r')),
         "Firmware update failed\n[Firmware contains no sectors.]\n"},
    };
    for (const Case& c : cases) {
        const Outcome o = run({"--simulate", "update", "--yes", c.file});
        EXPECT_EQ(o.exitCode, 1) << c.file.toStdString();
        EXPECT_EQ(o.out, "") << c.file.toStdString();
        EXPECT_EQ(o.err, c.err) << c.file.toStdString();
        EXPECT_FALSE(o.out.contains("Successfully")) << c.file.toStdString();
    }
}

// A CR-only copy of the embedded firmware is the same firmware; a cut-off copy never reaches
// the table (the trace records every USB transfer, and stays empty).
TEST_F(DeviceCommands, UpdateFromCopiesOfTheEmbeddedFirmware) {
    QFile embedded(ORBIZO3_SOURCE_DIR "/src/resources/FW_Zo3.zof");
    ASSERT_TRUE(embedded.open(QIODevice::ReadOnly));
    const QByteArray text = embedded.readAll();

    const Outcome crOnly = run({"--simulate", "update", "--yes",
                                writeFile("cr.zof", QByteArray(text).replace("\r\n", "\r"))});
    EXPECT_EQ(crOnly.exitCode, 0) << crOnly.err.toStdString();
    EXPECT_TRUE(crOnly.out.endsWith("Successfully updated firmware.\nFirmware version: 1.09\n"))
        << crOnly.out.toStdString();
    EXPECT_EQ(progressValues(crOnly.out).size(), 19);

    const QString trace = dir.filePath("truncated.trace");
    const Outcome truncated =
        run({"--simulate", "--trace", trace, "update", "--yes",
             writeFile("truncated.zof", text.left(text.lastIndexOf(":00000001FF")))});
    EXPECT_EQ(truncated.exitCode, 1);
    EXPECT_EQ(truncated.err,
              "Firmware update failed\n[Table firmware file format error: end of file record "
              "missing]\n");
    EXPECT_EQ(truncated.out, "");
    QFile traced(trace);
    EXPECT_TRUE(!traced.exists() || traced.size() == 0);
}

TEST_F(DeviceCommands, CheckAppliesTheDownloadRulesAfterItsListing) {
    const QByteArray sector2 = ":10400000000102030405060708090A0B0C0D0E0F38\r\n";
    const QByteArray sector5 = ":10A00000000102030405060708090A0B0C0D0E0FD8\r\n";
    const QByteArray end = ":00000001FF\r\n";
    struct Case {
        QByteArray content;
        int exitCode;
        QString err;
    };
    const Case cases[] = {
        {sector5 + end + QByteArray(10001 - sector5.size() - end.size(), '\n'), 0, ""},
        {sector2 + sector5 + end + QByteArray(10000, '\n'), 1,
         "error 0x0a003081: Firmware contains configuration sectors.\n"},
    };
    for (const Case& c : cases) {
        const Outcome o = run({"check", writeFile("rules.zof", c.content)});
        EXPECT_EQ(o.exitCode, c.exitCode) << c.content.size();
        EXPECT_EQ(o.err.toStdString(), c.err.toStdString()) << c.content.size();
        EXPECT_TRUE(o.out.contains("sector 5 0x0a000-0x0bfff sum ")) << o.out.toStdString();
    }
    // Too short for a download: refused before it is even parsed, so nothing is listed.
    const Outcome tooShort =
        run({"check",
             writeFile("short.zof",
                       sector5 + end + QByteArray(10000 - sector5.size() - end.size(), '\n'))});
    EXPECT_EQ(tooShort.exitCode, 1);
    EXPECT_EQ(tooShort.out, "");
    EXPECT_EQ(tooShort.err, "error 0x0a003081: No valid firmware (10000)\n");
}

// The first Ctrl-C, and every hang-up or termination request, only warn while the table is
// being programmed: the update finishes and reports its result.
TEST_F(DeviceCommands, SignalsWhileProgrammingOnlyWarn) {
    const struct {
        int signal;
        int count;
        const char* warning;
    } cases[] = {{SIGINT, 1, "Stopping now leaves the OrbiZo3 in its bootloader"},
                 {SIGTERM, 2, "the update finishes first"},
                 {SIGHUP, 2, "the update finishes first"}};
    for (const auto& c : cases) {
        QProcess process;
        start(process, {"--simulate", "update", "--yes"}, QString());
        QByteArray out;
        while (!out.contains("Progress: 15%") && process.waitForReadyRead(10000))
            out += process.readAllStandardOutput();
        ASSERT_TRUE(out.contains("Progress: 15%"));
        for (int i = 0; i < c.count; ++i) ::kill(static_cast<pid_t>(process.processId()), c.signal);

        const Outcome o = finish(process);
        EXPECT_EQ(o.exitCode, 0) << c.signal;
        EXPECT_TRUE(o.out.contains("Successfully updated firmware.")) << c.signal;
        EXPECT_TRUE(o.err.contains(c.warning)) << o.err.toStdString();
    }
}

// A reader that goes away does not kill the update with SIGPIPE.
TEST_F(DeviceCommands, ClosedOutputPipeDoesNotStopTheUpdate) {
    QProcess shell;
    shell.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    shell.start("bash", {"-c",
                         "\"$0\" --simulate update --yes 2>/dev/null | true; "
                         "echo ${PIPESTATUS[0]}",
                         ORBIZO3_CLI});
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.readAllStandardOutput().trimmed(), "0");
}

TEST_F(DeviceCommands, SecondInterruptStops) {
    QProcess process;
    start(process, {"--simulate", "update", "--yes"}, QString());
    QByteArray err;
    while (!process.readAllStandardOutput().contains("Progress: 15%") &&
           process.waitForReadyRead(10000)) {
    }
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    while (!err.contains("Ctrl-C again") && process.waitForReadyRead(10000))
        err += process.readAllStandardError();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    EXPECT_FALSE(process.readAllStandardOutput().contains("Successfully"));
}

}  // namespace
