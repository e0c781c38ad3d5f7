#include <gtest/gtest.h>

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <sstream>

#include "cli/CommandDispatcher.h"
#include "cli/DeviceSelection.h"
#include "cli/HistoryCommand.h"
#include "cli/JsonOutput.h"
#include "history/HistoryRecorder.h"
#include "utilities/RunSettings.h"

// `history` over a file of three records: the three forms, the filters, and what is refused.
namespace {

using namespace Korvane::DeviceDriver::OrbiZo::Cli;
using namespace Korvane::DeviceDriver::OrbiZo::History;
using Korvane::Utilities::RunSettings;

struct HistoryRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class HistoryCommandTest : public ::testing::Test {
protected:
    void SetUp() override { path = folder.filePath("history.sqlite3"); }

    void addRecord(const QString& serial, HistoryRecord::Outcome outcome, const QString& file) {
        HistoryRecord record;
        record.programVersion = "1.9.0";
        record.serialNumber = serial;
        record.versionBefore = 0x0107;
        record.firmware.embedded = file.isEmpty();
        record.firmware.embeddedVersion = file.isEmpty() ? 0x0109 : 0;
        record.firmware.fileName = file;
        HistoryRecorder recorder(path);
        recorder.begin(record);
        recorder.sectorWritten(4);
        recorder.sectorConfirmed(4, 0x0012AB34);
        HistoryRecord::Failure failure;
        failure.code = 0x0A002041;
        failure.caption = "Firmware update failed";
        recorder.finish(outcome, outcome == HistoryRecord::Outcome::Succeeded ? 0x0109 : 0,
                        failure);
        ASSERT_TRUE(recorder.takeWarnings().isEmpty());
    }

    HistoryRun run(QStringList arguments) {
        CommandDispatcher dispatcher("test");
        dispatcher.addGlobalOption(JsonOutput::option());
        for (const QCommandLineOption& option : DeviceSelection::globalOptions())
            dispatcher.addGlobalOption(option);
        dispatcher.setRunSettings([](const QCommandLineParser& parser) {
            return DeviceSelection::runSettings(parser, RunSettings());
        });
        dispatcher.addCommand(std::make_unique<HistoryCommand>());
        std::ostringstream out;
        std::ostringstream err;
        HistoryRun outcome;
        outcome.exitCode = dispatcher.run(
            QStringList{"orbizo3-cli", "--history", path, "history"} + arguments, out, err);
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }

    QTemporaryDir folder;
    QString path;
};

TEST_F(HistoryCommandTest, EmptyHistoryIsNoFailure) {
    const HistoryRun text = run({});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.out, "No update history.\n");
    const HistoryRun json = run({"--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(json.out, "{\"history\":\"" + path.toStdString() + "\",\"records\":[]}\n");
    EXPECT_EQ(run({"--csv"}).out.find("\r\n") + 2, run({"--csv"}).out.size());  // header only
}

TEST_F(HistoryCommandTest, ThreeFormsNewestFirst) {
    addRecord("OZ3S000001", HistoryRecord::Outcome::Succeeded, QString());
    addRecord("OZ3S000002", HistoryRecord::Outcome::Failed, "FW \"new\", 2.zof");

    const HistoryRun text = run({});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    const QStringList lines = QString::fromStdString(text.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(
        lines[0].startsWith("Started (UTC)        Kind    Serial      Firmware version  "
                            "Outcome            Firmware         Duration"))
        << lines[0].toStdString();
    EXPECT_TRUE(
        lines[1].contains("  update  OZ3S000002  1.07 -> -         failed 0x0a002041  "
                          "FW \"new\", 2.zof  "))
        << lines[1].toStdString();
    EXPECT_TRUE(
        lines[2].contains("  update  OZ3S000001  1.07 -> 1.09      succeeded          "
                          "embedded 1.09    "))
        << lines[2].toStdString();

    const std::string newest = run({"--limit", "1"}).out;
    EXPECT_EQ(QString::fromStdString(newest).split('\n', Qt::SkipEmptyParts).size(), 2) << newest;
    EXPECT_NE(newest.find("OZ3S000002"), std::string::npos);

    const QStringList csv = QString::fromStdString(run({"--csv"}).out).split("\r\n");
    ASSERT_EQ(csv.size(), 4);  // header, two records, nothing after the last CR LF
    EXPECT_TRUE(csv[1].startsWith("2,update,cli,1.9.0,")) << csv[1].toStdString();
    EXPECT_TRUE(
        csv[1].contains(",,OZ3S000002,1.07,,no,,file,,\"FW \"\"new\"\", 2.zof\",,,,,failed,"
                        "0x0a002041,Firmware update failed,,,,,4,4:0x0012ab34"))
        << csv[1].toStdString();
    EXPECT_TRUE(csv[3].isEmpty());

    const HistoryRun json = run({"--json", "--serial", "OZ3S000002"});
    const QJsonArray records =
        QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["records"].toArray();
    ASSERT_EQ(records.size(), 1);
    const QJsonObject record = records[0].toObject();
    EXPECT_EQ(record["outcome"], "failed");
    EXPECT_EQ(record["firmware_version_before"], "1.07");
    EXPECT_TRUE(record["firmware_version_after"].isNull());
    EXPECT_EQ(record["firmware"].toObject()["file_name"], "FW \"new\", 2.zof");
    EXPECT_EQ(record["error"].toObject()["code"], "0x0a002041");
    EXPECT_EQ(record["sectors"].toArray(),
              QJsonArray({QJsonObject{{"sector", 4}, {"written", true}, {"sum", "0x0012ab34"}}}));
}

TEST_F(HistoryCommandTest, RefusedLines) {
    struct Case {
        QStringList arguments;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {{"--json", "--csv"}, 2, ""},  // JSON mode: the error is the document
        {{"--csv", "--limit", "0"}, 2, "--limit takes a whole number from 1.\n"},
        {{"--limit", "many"}, 2, "--limit takes a whole number from 1.\n"},
        {{"extra"}, 2, "history takes no arguments."},
    };
    for (const Case& c : cases) {
        const HistoryRun outcome = run(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(outcome.err.substr(0, c.err.size()), c.err);
    }
    EXPECT_EQ(run({"--json", "--csv"}).out,
              "{\"error\":{\"code\":\"0x00000000\",\"detail\":\"\",\"message\":\"history takes "
              "--json or --csv, not both.\"}}\n");
}

}  // namespace
