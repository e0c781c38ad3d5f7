#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <sstream>

#include "cli/BenchChildProcess.h"
#include "cli/BenchProgress.h"
#include "cli/BenchSummary.h"
#include "cli/BenchTable.h"
#include "cli/BenchTables.h"
#include "cli/DeviceSelection.h"
#include "simulator/SimulatorEnvironment.h"

// The pieces of the service bench in this process: how a table's end is judged, which tables a
// bench takes, the fault setting, the progress lines and the summary, and a child process.
namespace {

using namespace Korvane::DeviceDriver::OrbiZo::Cli;
using Korvane::Utilities::RunSettings;
using BenchClock = BenchTable::Clock;

int exitedWith(int code) {
    return code << 8;  // as waitpid reports a normal exit
}

// A child that ended without its "finished" event is never a success.
TEST(BenchTable, ProcessEndWithoutResult) {
    const struct Case {
        int status;
        int steps;
        const char* outcome;
        const char* message;
    } cases[] = {
        {SIGINT, 2, "cancelled", "Stopped by an interrupt."},
        {SIGINT, 1, "failed", "The table's process was ended by signal 2"},
        {SIGKILL, 2, "cancelled", "Stopped by an interrupt."},
        {SIGKILL, 1, "failed", "The table's process was ended by signal 9"},
        {exitedWith(0), 0, "failed",
         "The table's process ended with exit code 0 without a result. last"},
        {exitedWith(127), 0, "failed", "The table's process ended with exit code 127"},
    };
    for (const Case& c : cases) {
        BenchTable table("path", "OZ3S000001");
        table.started = BenchClock::now();
        table.processEnded(c.status, c.steps, "first\nlast\n");
        EXPECT_EQ(table.outcome.toStdString(), c.outcome) << c.status;
        EXPECT_TRUE(table.message.startsWith(c.message)) << table.message.toStdString();
        EXPECT_FALSE(table.succeeded());
    }
}

TEST(BenchTable, EventsUpToTheOutcomeCount) {
    BenchTable table("path", "OZ3S000001");
    const BenchClock::time_point t0 = BenchClock::now();
    table.started = t0;
    table.apply({{"event", "identified"}, {"version_before", "1.07"}}, t0);
    table.apply({{"event", "progress"}, {"percent", 15}, {"sector", -1}}, t0);
    EXPECT_FALSE(table.firstSector);
    table.apply({{"event", "progress"}, {"percent", 22}, {"sector", 5}},
                t0 + std::chrono::seconds(2));
    table.apply({{"event", "finished"}, {"outcome", "updated"}, {"version_after", "1.09"}},
                t0 + std::chrono::seconds(30));
    // A death after the result changes nothing.
    table.apply({{"event", "finished"}, {"outcome", "failed"}}, t0);
    table.processEnded(SIGKILL, 0, QString());
    EXPECT_EQ(table.outcome, "updated");
    EXPECT_EQ(table.percent, 100);
    EXPECT_EQ(*table.firstSector - t0, std::chrono::seconds(2));
    EXPECT_DOUBLE_EQ(table.seconds(), 30.0);
    EXPECT_EQ(BenchProgress::line(table), "OZ3S000001  updated 1.07 -> 1.09");
}

TEST(BenchProgress, TerminalLineShowsBarSectorAndTimeLeft) {
    BenchTable table("path", "OZ3S000002");
    const BenchClock::time_point t0 = BenchClock::now();
    table.apply({{"event", "progress"}, {"percent", 15}, {"sector", 4}}, t0);
    EXPECT_EQ(BenchProgress::line(table, t0),
              "OZ3S000002  [###.................]  15%  sector  4  -:-- left");
    table.apply({{"event", "progress"}, {"percent", 45}, {"sector", 8}}, t0);
    EXPECT_EQ(BenchProgress::line(table, t0 + std::chrono::seconds(12)),
              "OZ3S000002  [#########...........]  45%  sector  8  0:22 left");
}

TEST(BenchProgress, PlainLinesOnePerChange) {
    std::vector<BenchTable> tables{BenchTable("path", "OZ3S000001")};
    std::ostringstream out;
    std::ostringstream err;
    BenchProgress progress(out, err, BenchProgress::Mode::Lines, tables);
    const QJsonObject events[] = {
        {{"event", "started"}, {"pid", 7}},
        {{"event", "identified"}, {"version_before", "1.07"}},
        {{"event", "progress"}, {"percent", 22}, {"sector", 5}},
        {{"event", "finished"}, {"outcome", "disconnected"}, {"message", "gone"}},
    };
    for (const QJsonObject& event : events) {
        tables[0].apply(event);
        progress.event(tables[0], event, 1.0);
    }
    progress.interrupted(1, "warned", 2.0);
    EXPECT_EQ(out.str(),
              "OZ3S000001: started\nOZ3S000001: firmware 1.07\nOZ3S000001: 22% sector 5\n"
              "OZ3S000001: disconnected: gone\n");
    EXPECT_EQ(err.str(), "warned\n");
}

TEST(BenchSummary, RowsAndCounts) {
    std::vector<BenchTable> tables{BenchTable("p1", "OZ3S000001"), BenchTable("p2", "OZ3S000002")};
    const BenchClock::time_point t0 = BenchClock::now();
    for (BenchTable& table : tables) table.started = t0;
    tables[0].apply({{"event", "identified"}, {"version_before", "1.07"}}, t0);
    tables[0].apply({{"event", "finished"}, {"outcome", "updated"}, {"version_after", "1.09"}},
                    t0 + std::chrono::milliseconds(34100));
    tables[1].apply({{"event", "finished"},
                     {"outcome", "failed"},
                     {"message", "Firmware update failed"},
                     {"where", "u7 in sector 4"}},
                    t0 + std::chrono::milliseconds(2000));
    const BenchSummary summary("b1", tables, 1.24, 35.0);
    EXPECT_FALSE(summary.allSucceeded());
    std::ostringstream out;
    summary.print(out);
    EXPECT_EQ(
        out.str(),
        "\nService bench b1: 1 of 2 succeeded in 35.0 s\n"
        "Finding and opening the tables before the first sector: 1.2 s\n"
        "Serial      Version       Outcome  Time    Failure\n"
        "OZ3S000001  1.07 -> 1.09  updated  34.1 s\n"
        "OZ3S000002  - -> -        failed   2.0 s   Firmware update failed (at u7 in sector 4)\n");
    const QJsonObject json = summary.json();
    EXPECT_EQ(json["succeeded"].toInt(), 1);
    EXPECT_EQ(json["failed"].toInt(), 1);
    EXPECT_EQ(json["tables"][1]["where"].toString(), "u7 in sector 4");
    EXPECT_FALSE(json["tables"][0].toObject().contains("message"));
}

// The two simulated tables of this process (as the scripting tests plug them); the bench picks
// them by path or serial number.
TEST(BenchTables, ChosenByPathOrSerialNumber) {
    RunSettings settings;
    settings.useSimulatedTables(2);
    Korvane::Simulator::SimulatorEnvironment::start(settings);
    QCommandLineParser parser;
    for (const QCommandLineOption& option : DeviceSelection::globalOptions())
        parser.addOption(option);
    ASSERT_TRUE(parser.parse({"orbizo3-cli"}));
    const DeviceSelection selection(parser, settings);
    const QString second =
        "\\\\?\\USB#VID_1209&PID_7A03#OZ3S000002#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    const struct Case {
        QStringList requested;
        QStringList serials;
        QString problem;
    } cases[] = {
        {{}, {"OZ3S000001", "OZ3S000002"}, ""},
        {{second, "OZ3S000001", "OZ3S000002"}, {"OZ3S000002", "OZ3S000001"}, ""},
        {{"OZ3S000002", "OZ3S000009"},
         {},
         "No OrbiZo3 with the device path or serial number 'OZ3S000009' is connected"},
    };
    for (const Case& c : cases) {
        const BenchTables found(selection, c.requested);
        QStringList serials;
        for (const BenchTable& table : found.tables) serials << table.serialNumber;
        EXPECT_EQ(serials, c.serials) << c.requested.join(' ').toStdString();
        EXPECT_EQ(found.problem, c.problem);
    }
}

// The child runs in a process group of its own; its output arrives as lines, the last one
// also without its line end; its standard error is kept.
TEST(BenchChildProcess, OwnGroupLinesAndErrorText) {
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    ::close(input[1]);
    BenchChildProcess child("/bin/sh",
                            {"-c",
                             "echo $(($(ps -o pgid= $$) == $$)); echo two; printf three; "
                             "echo oops >&2; exit 3"},
                            {"PATH=/usr/bin:/bin"}, input[0]);
    ::close(input[0]);
    ASSERT_TRUE(child.started());
    QList<QByteArray> lines;
    while (child.pipesOpen()) {
        lines += child.readOutputLines();
        child.readError();
    }
    EXPECT_EQ(lines, (QList<QByteArray>{"1", "two", "three"}));
    EXPECT_EQ(child.errorText(), "oops\n");
    const int status = child.reap();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
    EXPECT_FALSE(child.running());
}

}  // namespace
