#include <gtest/gtest.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>
#include <sstream>

#include "cli/CommandDispatcher.h"
#include "cli/DeviceSelection.h"
#include "cli/JsonOutput.h"
#include "cli/UpdateCommand.h"
#include "cli/VerifyCommand.h"
#include "history/HistoryReader.h"
#include "history/HistorySchema.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/Fault.h"
#include "simulator/SimulatedTable.h"
#include "utilities/RunSettings.h"

// The service record that `update` and `verify` leave, read back from the history they wrote.
namespace {

using namespace Korvane::DeviceDriver::OrbiZo::Cli;
using namespace Korvane::DeviceDriver::OrbiZo::History;
using Korvane::Simulator::Fault;
using Korvane::Simulator::SimulatedTable;
using Korvane::Utilities::RunSettings;
using RecordOutcome = HistoryRecord::Outcome;

struct CommandRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ServiceRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The simulated bus, for the commands run in this process.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        history = folder.filePath("history.sqlite3");
    }
    void TearDown() override {
        if (table) table->unplug();
    }

    void plug(const std::string& serial) {
        table = SimulatedTable::create(serial);
        table->plug();
    }

    // Runs a command in this process against the plugged table, `answers` on its input.
    CommandRun run(const QStringList& arguments, const std::string& answers = std::string()) {
        std::istringstream input(answers);
        CommandDispatcher dispatcher("test");
        dispatcher.addGlobalOption(JsonOutput::option());
        for (const QCommandLineOption& option : DeviceSelection::globalOptions())
            dispatcher.addGlobalOption(option);
        dispatcher.setRunSettings([](const QCommandLineParser& parser) {
            RunSettings environment;
            environment.setUserName("service-7");
            return DeviceSelection::runSettings(parser, environment);
        });
        dispatcher.addCommand(std::make_unique<UpdateCommand>(input));
        dispatcher.addCommand(std::make_unique<VerifyCommand>(input));
        std::ostringstream out;
        std::ostringstream err;
        CommandRun result;
        // Other tests of this process leave their tables plugged: this one is named.
        const QStringList device{"--device", QString::fromStdString(table->serialNumber())};
        result.exitCode = dispatcher.run(
            QStringList{"orbizo3-cli", "--simulated-tables", "0", "--history", history} + device +
                arguments,
            out, err);
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    std::vector<HistoryRecord> records() {
        const HistoryReader::Result read = HistoryReader::read(history, QString(), 0);
        EXPECT_TRUE(read.warnings.isEmpty()) << read.warnings.join('\n').toStdString();
        return read.records;
    }

    static int confirmedSectors(const HistoryRecord& record) {
        int confirmed = 0;
        for (const HistoryRecord::Sector& sector : record.sectors) confirmed += sector.sum ? 1 : 0;
        return confirmed;
    }

    QTemporaryDir folder;
    QString history;
    std::shared_ptr<SimulatedTable> table;
};

TEST_F(ServiceRecordTest, UpdateOutcomes) {
    struct Case {
        const char* name;
        std::function<void(SimulatedTable&)> arm;
        std::string answers;
        RecordOutcome outcome;
        QString caption;
        QString command;  // where it failed
        int sector;
        int confirmed;           // sectors with the table's sum
        int latencyTimerMs = 2;  // in effect
    };
    const Case cases[] = {
        {"success", [](SimulatedTable&) {}, "y\ny\ny\n", RecordOutcome::Succeeded, "", "", -1, 10},
        {"locked sector", [](SimulatedTable& t) { t.inject(Fault::deviceError("u2", 7)); },
         "y\ny\ny\n", RecordOutcome::Failed, "Firmware update failed", "u2", 4, 0},
        {"unplugged", [](SimulatedTable& t) { t.powerLossInSector(5); }, "y\ny\ny\n",
         RecordOutcome::Failed, "OrbiZo3 disconnected", "u1", 5, 1},
        {"cancelled", [](SimulatedTable&) {}, "y\nn\n", RecordOutcome::Cancelled, "", "", -1, 0},
        {"converter keeps 16 ms", [](SimulatedTable& t) { t.ignoreLatencyTimer(true); },
         "y\ny\ny\n", RecordOutcome::Succeeded, "", "", -1, 10, 16},
    };
    int tables = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string serial = "OZ3H0000" + std::to_string(10 + ++tables);
        plug(serial);
        c.arm(*table);
        const CommandRun r = run({"update"}, c.answers);
        EXPECT_EQ(r.exitCode, c.outcome == RecordOutcome::Succeeded ? 0 : 1) << r.err;
        table->unplug();
        table.reset();

        const std::vector<HistoryRecord> all = records();
        ASSERT_EQ(all.size(), static_cast<std::size_t>(tables));
        const HistoryRecord& record = all.front();
        EXPECT_EQ(record.outcome, c.outcome);
        EXPECT_EQ(record.kind, HistoryRecord::Kind::Update);
        EXPECT_EQ(record.frontEnd, HistoryRecord::FrontEnd::Cli);
        EXPECT_EQ(record.serialNumber.toStdString(),
                  c.outcome == RecordOutcome::Cancelled ? "" : serial);
        EXPECT_EQ(record.versionBefore, c.outcome == RecordOutcome::Cancelled ? 0 : 0x0107);
        EXPECT_EQ(record.versionAfter, c.outcome == RecordOutcome::Succeeded ? 0x0109 : 0);
        EXPECT_TRUE(record.simulated);
        EXPECT_EQ(record.user, "service-7");
        EXPECT_EQ(record.latencyTimerMs, c.latencyTimerMs);
        EXPECT_TRUE(record.firmware.embedded);
        EXPECT_EQ(record.firmware.embeddedVersion, 0x0109);
        EXPECT_EQ(record.firmware.sha256.size(), 64);
        EXPECT_TRUE(record.ended.isValid());
        EXPECT_EQ(record.failure.caption, c.caption);
        EXPECT_EQ(record.failure.command, c.command);
        EXPECT_EQ(record.failure.sector, c.sector);
        if (c.outcome == RecordOutcome::Failed) {
            EXPECT_NE(record.failure.code, 0);
        }
        EXPECT_EQ(confirmedSectors(record), c.confirmed);
    }
}

// A file refused before any table is looked for leaves nothing; a verify leaves its own record
// with the sums the table confirmed.
TEST_F(ServiceRecordTest, VerifyAndRefusedFile) {
    plug("OZ3H000030");
    const QString missing = folder.filePath("missing.zof");
    EXPECT_EQ(run({"update", "--yes", missing}).exitCode, 1);
    EXPECT_EQ(run({"verify", "--yes", missing}).exitCode, 1);
    EXPECT_TRUE(records().empty());

    ASSERT_EQ(run({"update", "--yes"}).exitCode, 0);
    const QString firmware = folder.filePath("FW_Zo3.zof");
    ASSERT_TRUE(QFile::copy(UpdateCommand::kEmbeddedFirmware, firmware));
    const CommandRun verify = run({"verify", "--yes", firmware});
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    const std::vector<HistoryRecord> all = records();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all.front().kind, HistoryRecord::Kind::Verify);
    EXPECT_EQ(all.front().outcome, RecordOutcome::Succeeded);
    EXPECT_EQ(all.front().serialNumber, "OZ3H000030");
    EXPECT_EQ(all.front().user, "service-7");
    EXPECT_EQ(all.front().firmware.fileName, "FW_Zo3.zof");
    EXPECT_EQ(all.front().firmware.filePath, firmware);
    EXPECT_EQ(all.front().firmware.sha256, all.back().firmware.sha256);
    EXPECT_EQ(confirmedSectors(all.front()), 10);
    for (const HistoryRecord::Sector& sector : all.front().sectors)
        EXPECT_EQ(sector.sum, all.back().sectors.at(&sector - all.front().sectors.data()).sum);
}

// A history that cannot take the record warns once on standard error; the update's outcome
// and exit code stay what they are.
TEST_F(ServiceRecordTest, HistoryTroubleNeverFailsTheUpdate) {
    // What stands in the history's way; what it returns keeps it there for the update.
    struct Case {
        const char* name;
        std::function<std::shared_ptr<void>()> spoil;
        const char* warning;  // a part of it
    };
    const auto write = [this](const QByteArray& bytes) {
        QFile file(history);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return nullptr;
    };
    // Another program's connection to the file, holding `statement` until it goes.
    const auto holding = [this](const QString& statement) {
        auto database =
            std::make_shared<QSqlDatabase>(QSqlDatabase::addDatabase("QSQLITE", "other"));
        database->setDatabaseName(history);
        EXPECT_TRUE(database->open());
        EXPECT_TRUE(QSqlQuery(*database).exec(statement)) << statement.toStdString();
        return std::shared_ptr<void>(database.get(), [database](void*) mutable {
            database->close();
            database.reset();
            QSqlDatabase::removeDatabase("other");
        });
    };
    const Case cases[] = {
        {"corrupt", [&] { return write(QByteArray(8192, 'x')); }, " was moved aside to "},
        {"not a file",
         [this] {
             EXPECT_TRUE(QDir().mkpath(history + "/in-the-way"));
             return nullptr;
         },
         " cannot be opened "},
        {"locked", [&] { return holding("BEGIN EXCLUSIVE"); }, " is locked by another program "},
        {"newer schema",
         [&] {
             EXPECT_EQ(run({"update", "--yes"}).exitCode, 0);  // a file this program wrote
             holding(QString("PRAGMA user_version = %1").arg(HistorySchema::CurrentVersion + 1));
             return nullptr;
         },
         " was written by a newer version of this program "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir own;
        history = own.filePath("history.sqlite3");
        plug("OZ3H000040");
        const std::shared_ptr<void> inTheWay = c.spoil();
        const CommandRun r = run({"update", "--yes"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err.rfind("Update history: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.warning), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        table->unplug();
        table.reset();
    }
}

// kill -9 once the first sector's bytes are on the wire: the record that was stored as running
// reads as interrupted, with what the table was before.
TEST_F(ServiceRecordTest, KilledUpdateReadsAsInterrupted) {
    const QString trace = folder.filePath("usb.trace");
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("ORBIZO3_SIMULATOR");
    cli.setProcessEnvironment(environment);
    cli.start(ORBIZO3_CLI, {"--simulate", "--simulator-timing", "--trace", trace, "--history",
                            history, "update", "--yes"});
    ASSERT_TRUE(cli.waitForStarted());
    // Waits on the wire: the first RAM write ";u9" (3b 75 39) going out to endpoint 0x02.
    const auto firstSectorWrite = [&trace] {
        static const QRegularExpression u9(" OUT 02 \\d+ 3b7539");
        QFile wire(trace);
        return wire.open(QIODevice::ReadOnly) && QString::fromLatin1(wire.readAll()).contains(u9);
    };
    while (!firstSectorWrite())
        ASSERT_FALSE(cli.waitForFinished(5)) << cli.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(cli.processId()), SIGKILL);
    ASSERT_TRUE(cli.waitForFinished());

    const std::vector<HistoryRecord> all = records();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all.front().outcome, RecordOutcome::Interrupted);
    EXPECT_EQ(all.front().serialNumber, "OZ3S000001");
    EXPECT_EQ(all.front().versionBefore, 0x0107);
    EXPECT_FALSE(all.front().ended.isValid());
}

}  // namespace
