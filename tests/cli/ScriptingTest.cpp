#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "cli/CheckCommand.h"
#include "cli/CommandDispatcher.h"
#include "cli/DeviceSelection.h"
#include "cli/InfoCommand.h"
#include "cli/JsonOutput.h"
#include "cli/ListCommand.h"
#include "cli/UpdateCommand.h"
#include "cli/VerifyCommand.h"
#include "simulator/SimulatorEnvironment.h"

// orbizo3-cli's commands run in this process against two simulated tables, which keep their
// flash between commands: JSON documents, the choice between tables, and verify.
namespace {

using namespace Korvane::DeviceDriver::OrbiZo::Cli;
using Korvane::Simulator::SimulatedTable;
using Korvane::Simulator::WireRecord;
using Korvane::Utilities::RunSettings;

const QString kFirmware = ORBIZO3_SOURCE_DIR "/src/resources/FW_Zo3.zof";
const QString kFirstTable =
    "\\\\?\\usb#vid_1209&pid_7a03#OZ3S000001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const QString kSecondTable = QString(kFirstTable).replace("000001", "000002");

struct ScriptRun {
    int exitCode = -1;
    std::string out;
    std::string err;

    QJsonObject json() const {
        QJsonParseError error;
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << out;
        EXPECT_TRUE(document.isObject()) << out;
        return document.object();
    }
};

class Scripting : public ::testing::Test {
protected:
    // As main starts a run in an environment with ORBIZO3_SIMULATOR=2.
    static void SetUpTestSuite() {
        environment().useSimulatedTables(2);
        tables = Korvane::Simulator::SimulatorEnvironment::start(environment());
    }

    static RunSettings& environment() {
        static RunSettings settings;
        return settings;
    }

    static ScriptRun run(const QStringList& arguments, const std::string& answers = std::string()) {
        std::istringstream input(answers);
        CommandDispatcher dispatcher("test");
        for (const QCommandLineOption& option : DeviceSelection::globalOptions())
            dispatcher.addGlobalOption(option);
        dispatcher.addGlobalOption(JsonOutput::option());
        dispatcher.setGlobalOptionCheck(&DeviceSelection::optionProblem);
        dispatcher.setRunSettings([](const QCommandLineParser& parser) {
            return DeviceSelection::runSettings(parser, environment());
        });
        dispatcher.addCommand(std::make_unique<ListCommand>());
        dispatcher.addCommand(std::make_unique<InfoCommand>());
        dispatcher.addCommand(std::make_unique<UpdateCommand>(input));
        dispatcher.addCommand(std::make_unique<CheckCommand>());
        dispatcher.addCommand(std::make_unique<VerifyCommand>(input));
        std::ostringstream out;
        std::ostringstream err;
        ScriptRun outcome;
        outcome.exitCode = dispatcher.run(QStringList{"orbizo3-cli"} + arguments, out, err);
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }

    // The command lines the host sent to a table (";u7...", ...), in order.
    static QStringList commandsSent(const SimulatedTable& table) {
        QStringList lines;
        for (const WireRecord& record : table.transcript()) {
            if (record.direction == WireRecord::Direction::ToTable)
                lines << QString::fromStdString(record.bytes).split('\r', Qt::SkipEmptyParts);
        }
        return lines;
    }

    static std::vector<std::shared_ptr<SimulatedTable>> tables;
};

std::vector<std::shared_ptr<SimulatedTable>> Scripting::tables;

TEST_F(Scripting, SeveralTablesAreRefusedUnlessOneIsNamed) {
    for (const QStringList& command :
         {QStringList{"info"}, QStringList{"update", "--yes"}, QStringList{"verify", kFirmware}}) {
        const ScriptRun o = run(command);
        EXPECT_EQ(o.exitCode, 2) << command.join(' ').toStdString();
        EXPECT_EQ(o.out, "");
        EXPECT_NE(o.err.find((kFirstTable + "\tOZ3S000001\n").toStdString()), std::string::npos)
            << o.err;
        EXPECT_NE(o.err.find((kSecondTable + "\tOZ3S000002\n").toStdString()), std::string::npos);
    }
    const QJsonObject refusal = run({"--json", "info"}).json();
    EXPECT_EQ(refusal["error"].toObject()["code"].toString(), "0x00000000");
    EXPECT_EQ(refusal["tables"].toArray()[1].toObject()["serial_number"].toString(), "OZ3S000002");

    for (const QString& device : {QString("OZ3S000002"), kSecondTable.toUpper()}) {
        const ScriptRun info = run({"--device", device, "info"});
        EXPECT_EQ(info.exitCode, 0) << info.err;
        EXPECT_EQ(info.out.rfind("Serial number: OZ3S000002\n", 0), 0u) << info.out;
    }
}

TEST_F(Scripting, JsonDocumentsOfEveryCommand) {
    const QJsonObject version = run({"--json", "--version"}).json();
    EXPECT_EQ(version, (QJsonObject{{"program", QCoreApplication::applicationName()},
                                    {"version", QCoreApplication::applicationVersion()}}));

    const QJsonObject list = run({"--json", "list"}).json();
    ASSERT_EQ(list["tables"].toArray().size(), 2);
    EXPECT_EQ(list["tables"].toArray()[0].toObject()["device"].toString(), kFirstTable);
    EXPECT_EQ(list["tables"].toArray()[0].toObject()["serial_number"].toString(), "OZ3S000001");
    EXPECT_EQ(list["tables"].toArray()[0].toObject()["firmware_version"].toString(), "1.07");

    const QJsonObject info = run({"--json", "--device", "OZ3S000001", "info"}).json();
    EXPECT_EQ(info, (QJsonObject{{"device", kFirstTable},
                                 {"serial_number", "OZ3S000001"},
                                 {"firmware_version", "1.07"},
                                 {"latency_timer_ms", 2},
                                 {"simulated", true}}));

    const QJsonObject check = run({"--json", "check", kFirmware}).json();
    EXPECT_EQ(check["sectors"].toArray().size(), 10);
    EXPECT_EQ(check["sectors"].toArray()[0].toObject()["start"].toString(), "0x08000");
    EXPECT_EQ(check["sectors"].toArray()[0].toObject()["sum"].toString().size(), 10);
    EXPECT_TRUE(check["vector_checksum"].isNull());

    // Questions cannot be answered in JSON mode.
    const ScriptRun unconfirmed = run({"--json", "--device", "OZ3S000001", "update"});
    EXPECT_EQ(unconfirmed.exitCode, 2);
    EXPECT_TRUE(
        unconfirmed.json()["error"].toObject()["message"].toString().startsWith("update --json"));

    const ScriptRun update =
        run({"--json", "--device", "OZ3S000001", "update", "--yes", kFirmware});
    EXPECT_EQ(update.exitCode, 0) << update.out;
    EXPECT_EQ(update.err, "");
    EXPECT_EQ(update.json(),
              (QJsonObject{
                  {"device", kFirstTable}, {"result", "updated"}, {"firmware_version", "1.09"}}));

    const ScriptRun verify =
        run({"--json", "--device", "OZ3S000001", "--yes", "verify", kFirmware});
    EXPECT_EQ(verify.exitCode, 0) << verify.out;
    EXPECT_TRUE(verify.json()["verified"].toBool());
    EXPECT_EQ(verify.json()["sectors"].toArray().size(), 10);
    EXPECT_TRUE(verify.json()["sectors"].toArray()[9].toObject()["match"].toBool());
}

TEST_F(Scripting, JsonErrorsCarryCodeMessageAndDetail) {
    // Data in configuration sector 2: the listing, then the download's refusal.
    QTemporaryDir dir;
    QFile refused(dir.filePath("sector2.zof"));
    ASSERT_TRUE(refused.open(QIODevice::WriteOnly));
    refused.write(":10400000000102030405060708090A0B0C0D0E0F38\r\n:00000001FF\r\n" +
                  QByteArray(10000, '\n'));
    refused.close();

    struct Case {
        QStringList arguments;
        int exitCode;
        QString code;
        QString message;
    };
    const Case cases[] = {
        {{"--json", "check", "/no/such.zof"},
         1,
         "0x00000000",
         "Cannot read firmware file '/no/such.zof'"},
        {{"--json", "--device", "NOBODY", "info"},
         1,
         "0x00000000",
         "No OrbiZo3 connected: Connect an OrbiZo3 instrument."},
        {{"--json", "--device", "OZ3S000002", "--yes", "verify", "/no/such.zof"},
         1,
         "0x00000000",
         "Firmware verification failed: Firmware file not found."},
        {{"--json", "frobnicate"}, 2, "0x00000000", "Unknown command 'frobnicate'."},
        {{"--json", "check", refused.fileName()},
         1,
         "0x0a003081",
         "Firmware contains configuration sectors."},
    };
    for (const Case& c : cases) {
        const ScriptRun o = run(c.arguments);
        EXPECT_EQ(o.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(o.err, "");
        const QJsonObject error = o.json()["error"].toObject();
        EXPECT_EQ(error["code"].toString(), c.code) << o.out;
        EXPECT_EQ(error["message"].toString(), c.message) << o.out;
        EXPECT_TRUE(error.contains("detail"));
    }
}

// A separate process: the trace file is chosen once per process.
TEST_F(Scripting, JsonModeReportsAnUnwritableTraceFileAsItsError) {
    QProcess process;
    process.start(ORBIZO3_CLI,
                  {"--json", "--simulate", "--trace", "/no/such/dir/usb.trace", "list"});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    const ScriptRun o{1, process.readAllStandardOutput().toStdString(), std::string()};
    EXPECT_TRUE(o.json()["error"].toObject()["message"].toString().startsWith(
        "Cannot write USB trace file '/no/such/dir/usb.trace': "))
        << o.out;
    EXPECT_TRUE(process.readAllStandardError().isEmpty());
}

// Uses the second table only, so that it holds its factory firmware (1.07) at the start.
TEST_F(Scripting, VerifyComparesWithoutWritingAndRestartsTheTable) {
    SimulatedTable& table = *tables[1];
    const QStringList verify{"--device", "OZ3S000002", "verify", kFirmware};
    table.clearTranscript();
    const ScriptRun before = run(verify, "y\n");
    EXPECT_EQ(before.exitCode, 1) << before.err;
    EXPECT_NE(before.out.find("[y/N] "), std::string::npos);
    EXPECT_NE(before.out.find("sector 4 differs: table 0x"), std::string::npos) << before.out;
    EXPECT_EQ(before.out.substr(before.out.size() - 8), "differs\n");

    const QStringList sent = commandsSent(table);
    EXPECT_EQ(sent.filter(QRegularExpression("^;u7")).size(), 10);
    EXPECT_TRUE(sent.filter(QRegularExpression("^;u[0-39A]")).isEmpty())
        << sent.join(' ').toStdString();
    EXPECT_EQ(run({"--device", "OZ3S000002", "info"}).out,
              "Serial number: OZ3S000002\nFirmware version: 1.07\nLatency timer: 2 ms\n"
              "Simulated table (ORBIZO3_SIMULATOR is set)\n");

    ASSERT_EQ(run({"--device", "OZ3S000002", "update", "--yes", kFirmware}).exitCode, 0);
    const ScriptRun after = run(QStringList{"--yes"} + verify);
    EXPECT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(after.out,
              "sector 4 match\nsector 5 match\nsector 6 match\nsector 7 match\nsector 8 match\n"
              "sector 9 match\nsector 10 match\nsector 11 match\nsector 12 match\n"
              "sector 13 match\nverified\n");

    // A table whose application no longer starts stays in its bootloader, and verify says so.
    table.setFlashContents(0x8000, {0, 0, 0, 0});
    const ScriptRun stuck = run(QStringList{"--yes"} + verify);
    EXPECT_EQ(stuck.exitCode, 1);
    EXPECT_NE(stuck.err.find("could not be restarted into its application"), std::string::npos)
        << stuck.err;
    ASSERT_EQ(run({"--device", "OZ3S000002", "update", "--yes", kFirmware}).exitCode, 0);
}

}  // namespace
