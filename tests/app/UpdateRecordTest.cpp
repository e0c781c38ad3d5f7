#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "ControllerSignalLog.h"
#include "GuiTest.h"
#include "app/UpdaterController.h"
#include "history/HistoryReader.h"
#include "simulator/Fault.h"
#include "utilities/RunSettings.h"

// The service record the window's update leaves, read back from the history it wrote.
namespace {

using Korvane::DeviceDriver::OrbiZo::History::HistoryReader;
using Korvane::DeviceDriver::OrbiZo::History::HistoryRecord;
using Korvane::Simulator::Fault;
using Korvane::Simulator::SimulatedTable;
using Outcome = HistoryRecord::Outcome;

class UpdateRecordTest : public GuiTest {
protected:
    void TearDown() override {
        log.reset();
        controller.reset();
        GuiTest::TearDown();
    }

    // Updates the one plugged table with the embedded firmware, the history in `history`.
    void update(const QString& history) {
        Korvane::Utilities::RunSettings settings;
        settings.setHistoryFile(history);
        controller = std::make_unique<UpdaterController>(nullptr, settings);
        log = std::make_unique<ControllerSignalLog>(controller.get());
        messages = std::make_unique<QSignalSpy>(controller.get(), SIGNAL(SilentMessage(QString)));
        controller->checkConnectedDevice();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !log->arrivals.empty(); }, kDeadlineMs));
        controller->setFirmwareData(embeddedFirmware());
        controller->startUpdate(false);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return (!log->errors.empty() || !log->successes.empty()) &&
                       !controller->isUpdateRunning();
            },
            kDeadlineMs));
    }

    QString logText() const {
        QString text;
        for (const QList<QVariant>& message : *messages) text += message.at(0).toString();
        return text;
    }

    QTemporaryDir folder;
    std::unique_ptr<UpdaterController> controller;
    std::unique_ptr<ControllerSignalLog> log;
    std::unique_ptr<QSignalSpy> messages;
};

TEST_F(UpdateRecordTest, OneRecordPerUpdate) {
    struct Case {
        const char* name;
        std::function<void(SimulatedTable&)> arm;
        Outcome outcome;
        QString caption;
        QString command;
        int sector;
        int confirmed;
    };
    const Case cases[] = {
        {"success", [](SimulatedTable&) {}, Outcome::Succeeded, "", "", -1, 10},
        {"locked sector", [](SimulatedTable& t) { t.inject(Fault::deviceError("u2", 7)); },
         Outcome::Failed, "Firmware update failed", "u2", 4, 0},
        {"unplugged", [](SimulatedTable& t) { t.powerLossInSector(5); }, Outcome::Failed,
         "OrbiZo3 disconnected", "u1", 5, 1},
    };
    const QString history = folder.filePath("history.sqlite3");
    int updates = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string serial = "OZ3W0000" + std::to_string(10 + ++updates);
        auto table = plugTable(serial);
        c.arm(*table);
        update(history);
        log.reset();
        controller.reset();
        table->unplug();

        const HistoryReader::Result read = HistoryReader::read(history, QString(), 0);
        EXPECT_TRUE(read.warnings.isEmpty());
        ASSERT_EQ(read.records.size(), static_cast<std::size_t>(updates));
        const HistoryRecord& record = read.records.front();
        EXPECT_EQ(record.frontEnd, HistoryRecord::FrontEnd::Window);
        EXPECT_EQ(record.outcome, c.outcome);
        EXPECT_EQ(record.serialNumber.toStdString(), serial);
        EXPECT_EQ(record.versionBefore, 0x0107);
        EXPECT_EQ(record.versionAfter, c.outcome == Outcome::Succeeded ? 0x0109 : 0);
        EXPECT_TRUE(record.firmware.embedded);
        EXPECT_EQ(record.failure.caption, c.caption);
        EXPECT_EQ(record.failure.command, c.command);
        EXPECT_EQ(record.failure.sector, c.sector);
        int confirmed = 0;
        for (const HistoryRecord::Sector& sector : record.sectors) confirmed += sector.sum ? 1 : 0;
        EXPECT_EQ(confirmed, c.confirmed);
    }
}

// Questions answered no: a cancelled record of the identified table, the table never spoken to;
// a file the download refuses leaves none.
TEST_F(UpdateRecordTest, DeclinedUpdates) {
    const QString history = folder.filePath("history.sqlite3");
    Korvane::Utilities::RunSettings settings;
    settings.setHistoryFile(history);
    auto table = plugTable("OZ3W000030");
    controller = std::make_unique<UpdaterController>(nullptr, settings);
    log = std::make_unique<ControllerSignalLog>(controller.get());
    controller->checkConnectedDevice();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log->arrivals.empty(); }, kDeadlineMs));
    const std::uint64_t commands = table->commandCount();

    controller->setFirmwareData(QByteArray(4096, '\xff'), folder.filePath("damaged.zof"));
    controller->declineUpdate(true);
    controller->setFirmwareData(embeddedFirmware());
    controller->declineUpdate(false);
    log.reset();
    controller.reset();  // waits for the records

    const HistoryReader::Result read = HistoryReader::read(history, QString(), 0);
    EXPECT_TRUE(read.warnings.isEmpty());
    ASSERT_EQ(read.records.size(), 1u);
    const HistoryRecord& record = read.records.front();
    EXPECT_EQ(record.outcome, Outcome::Cancelled);
    EXPECT_EQ(record.frontEnd, HistoryRecord::FrontEnd::Window);
    EXPECT_EQ(record.serialNumber, "OZ3W000030");
    EXPECT_EQ(record.versionBefore, 0x0107);
    EXPECT_TRUE(record.firmware.embedded);
    EXPECT_TRUE(record.sectors.empty() || record.sectors.front().sum == 0);
    EXPECT_EQ(table->commandCount(), commands) << "the table was spoken to";
}

// A damaged history is moved aside with a warning in the log; the update succeeds as ever.
TEST_F(UpdateRecordTest, DamagedHistoryOnlyWarns) {
    const QString history = folder.filePath("history.sqlite3");
    QFile damaged(history);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(8192, 'x'));
    damaged.close();
    plugTable("OZ3W000020");
    update(history);
    EXPECT_TRUE(log->errors.empty());
    EXPECT_EQ(log->successes, std::vector<bool>{false});
    EXPECT_EQ(logText().count("Update history: "), 1) << logText().toStdString();
}

}  // namespace
