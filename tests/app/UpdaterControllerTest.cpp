#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include "ControllerSignalLog.h"
#include "GuiTest.h"
#include "app/UpdaterController.h"
#include "app/UpdaterThread.h"
#include "simulator/Fault.h"
#include "utilities/MessageException.h"

using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceInfo;

namespace {

using Korvane::Simulator::Fault;

class UpdaterControllerTest : public GuiTest {
protected:
    void TearDown() override {
        log.reset();
        controller.reset();
        GuiTest::TearDown();
    }

    void createController() {
        controller = std::make_unique<UpdaterController>();
        log = std::make_unique<ControllerSignalLog>(controller.get());
    }
    bool waitForArrivals(std::size_t count) {
        return QTest::qWaitFor([&] { return log->arrivals.size() >= count; }, kDeadlineMs);
    }
    bool waitForUpdateEnd() {
        return QTest::qWaitFor(
            [&] {
                return (!log->errors.empty() || !log->successes.empty()) &&
                       !controller->isUpdateRunning();
            },
            kDeadlineMs);
    }

    std::unique_ptr<UpdaterController> controller;
    std::unique_ptr<ControllerSignalLog> log;
};

TEST_F(UpdaterControllerTest, MapsTheRemainingWorkOntoTheDownloadSpan) {
    guiApplication();
    UpdaterThread worker(nullptr, nullptr, false);
    QSignalSpy progress(&worker, SIGNAL(ProgressEvent(int)));
    const int fifteenSectors = 1100 + 15 * 4250;
    const struct {
        int current, total, expected;
    } cases[] = {
        {1100, 1100, 15},           {fifteenSectors, fifteenSectors, 15},
        {1100, fifteenSectors, 88}, {32425, fifteenSectors, 52},
        {0, fifteenSectors, 90},
    };
    for (const auto& c : cases) {
        progress.clear();
        QMetaObject::invokeMethod(&worker, "slotProgressEvent", Q_ARG(int, c.current),
                                  Q_ARG(int, c.total));
        ASSERT_EQ(1, progress.count()) << c.current << "/" << c.total;
        EXPECT_EQ(c.expected, progress.at(0).at(0).toInt()) << c.current << "/" << c.total;
    }
}

TEST_F(UpdaterControllerTest, TableInItsBootloaderShowsNoVersion) {
    auto table = Korvane::Simulator::SimulatedTable::create("OZ3T000020");
    table->setFlashContents(0x8000, std::vector<std::uint8_t>(16, 0));  // no valid application
    table->plug();
    tables.push_back(table);
    createController();
    controller->checkConnectedDevice();
    ASSERT_TRUE(waitForArrivals(1));
    EXPECT_EQ((QStringList{"OZ3T000020", "-"}), log->arrivals[0]);
    EXPECT_TRUE(controller->canUpdate());
}

// A table that does not answer its identification is still the selected one: the failure is
// shown, the table may be updated, a second table does not take over and its own departure
// clears the selection.
TEST_F(UpdaterControllerTest, FailedIdentificationIsShownAndKeepsTheTableSelected) {
    auto table = Korvane::Simulator::SimulatedTable::create("OZ3T000026");
    // The connection's opening query succeeds, the identification's own is refused.
    table->inject(Fault::nak("a1", 2));
    table->plug();
    tables.push_back(table);
    createController();
    controller->checkConnectedDevice();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log->errors.empty(); }, kDeadlineMs));
    EXPECT_TRUE(log->arrivals.empty());
    EXPECT_EQ(QStringLiteral("Can't get Firmware version"), log->errors[0].value(0));
    EXPECT_EQ(QStringLiteral("Please disconnect and reconnect the OrbiZo3 and try it again."),
              log->errors[0].value(1));
    EXPECT_FALSE(log->errors[0].value(2).isEmpty()) << "the cause is kept";
    EXPECT_TRUE(controller->canUpdate());

    plugTable("OZ3T000027");
    QThreadPool::globalInstance()->waitForDone();
    // Whatever the finished threads sent is queued by now: deliver it, then look.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(log->arrivals.empty());
    table->unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log->departures == 1; }, kDeadlineMs));
    EXPECT_FALSE(controller->canUpdate());
}

TEST_F(UpdaterControllerTest, SecondUpdateIsRefusedWhileTheFirstRuns) {
    plugTable("OZ3T000021");
    createController();
    controller->checkConnectedDevice();
    ASSERT_TRUE(waitForArrivals(1));
    controller->setFirmwareData(embeddedFirmware());

    controller->startUpdate(false);
    controller->startUpdate(false);
    EXPECT_EQ(1, controller->findChildren<UpdaterThread*>().size());
    EXPECT_FALSE(controller->canUpdate());
    ASSERT_TRUE(waitForUpdateEnd());
    ASSERT_EQ(1u, log->errors.size());
    EXPECT_EQ((QStringList{"Update in progress", "Wait until download has been completed.", ""}),
              log->errors[0]);
    EXPECT_EQ(std::vector<bool>{false}, log->successes);
    EXPECT_EQ(QStringLiteral("1.09"), controller->newFirmwareVersionText());
    EXPECT_FALSE(controller->canUpdate()) << "updated tables wait for a replug";
}

// After a completed download, a table that cannot tell its version is still a success; only the
// embedded firmware's version is known without asking.
TEST_F(UpdaterControllerTest, VersionThatCannotBeReadBackAfterTheUpdate) {
    const struct {
        bool custom;
        const char* shown;
    } cases[] = {{false, "1.09"}, {true, "-"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.custom);
        auto table = plugTable(c.custom ? "OZ3T000022" : "OZ3T000023");
        createController();
        controller->checkConnectedDevice();
        ASSERT_TRUE(waitForArrivals(1));
        // Every connection asks for the version as it opens. From here: the announcement's
        // two queries, the download connection's one, the read-back's opening one, and then
        // the read-back's own, which is refused.
        table->inject(Fault::nak("a1", 5));
        controller->setFirmwareData(embeddedFirmware());
        controller->startUpdate(c.custom);
        ASSERT_TRUE(waitForUpdateEnd());
        ASSERT_TRUE(log->errors.empty()) << log->errors[0].join(" | ").toStdString();
        EXPECT_EQ(0x0109, table->firmwareVersion());
        EXPECT_EQ(QString::fromLatin1(c.shown), controller->newFirmwareVersionText());
        log.reset();
        controller.reset();
        table->unplug();
    }
}

TEST_F(UpdaterControllerTest, EveryWorkerFailureIsOneError) {
    const struct {
        const char* name;
        bool table;
        QByteArray firmware;
        QStringList error;
    } cases[] = {
        {"no table",
         false,
         embeddedFirmware(),
         {"No OrbiZo3 connected", "Connect an OrbiZo3 instrument.", ""}},
        {"short file", true, QByteArray(10000, 'A'), {"", "No valid firmware (10000)", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.table) plugTable("OZ3T000024");
        createController();
        if (c.table) {
            controller->checkConnectedDevice();
            ASSERT_TRUE(waitForArrivals(1));
        }
        controller->setFirmwareData(c.firmware);
        controller->startUpdate(false);
        ASSERT_TRUE(waitForUpdateEnd());
        // Whatever the finished threads sent is queued by now: deliver it, then look.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        ASSERT_EQ(1u, log->errors.size());
        EXPECT_EQ(c.error, log->errors[0]);
        EXPECT_TRUE(log->successes.empty());
        log.reset();
        controller.reset();
    }
}

// The window's questions read published state: they answer while an arrival waits for a slow
// table. Asked once the table has the identification's first query (its answer is held back),
// canUpdate comes last: had any question waited for the identification, it would say yes.
TEST_F(UpdaterControllerTest, QueriesAnswerWhileASlowTableIsIdentified) {
    auto table = Korvane::Simulator::SimulatedTable::create("OZ3T000028");
    table->inject(Fault::delayed("a1", std::chrono::milliseconds(1500)));
    table->plug();
    tables.push_back(table);
    createController();
    controller->checkConnectedDevice();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return table->transcriptText().find("a1") != std::string::npos; }, kDeadlineMs));

    EXPECT_FALSE(controller->isUpdateRunning());
    EXPECT_EQ(QStringLiteral("-"), controller->newFirmwareVersionText());
    controller->setFirmwareData(embeddedFirmware());
    EXPECT_FALSE(controller->canUpdate()) << "a question waited for the identification";

    ASSERT_TRUE(waitForArrivals(1));
    EXPECT_TRUE(controller->canUpdate());
}

// A controller whose identification fails as told (kind 0: MessageException, 1: std::exception,
// 2: anything else; -1: it reads the table) and which runs a probe on each ShowError.
class ProbedController : public UpdaterController {
public:
    explicit ProbedController(int failure = -1) : failure(failure) {}
    void onShowError(std::function<void()> probe) {
        connect(this, &ProbedController::ShowError, this, probe, Qt::DirectConnection);
    }

private:
    DeviceInfo identify(const QString& path) override {
        if (failure == 0) throw MessageException(QStringLiteral("T"), QStringLiteral("X"));
        if (failure == 1) throw std::runtime_error("broken");
        if (failure == 2) throw 42;
        return UpdaterController::identify(path);
    }
    int failure;
};

// Identification failures of every kind are shown as such, and the table stays selected.
TEST_F(UpdaterControllerTest, EveryIdentificationFailureIsShown) {
    const QString title = QStringLiteral("Can't get Firmware version");
    const QString text =
        QStringLiteral("Please disconnect and reconnect the OrbiZo3 and try it again.");
    const QStringList expected[] = {{"T", "X", ""}, {title, text, "broken"}, {title, text, ""}};
    plugTable("OZ3T000029");
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
        controller = std::make_unique<ProbedController>(kind);
        log = std::make_unique<ControllerSignalLog>(controller.get());
        controller->checkConnectedDevice();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !log->errors.empty(); }, kDeadlineMs));
        EXPECT_EQ(expected[kind], log->errors[0]);
        EXPECT_TRUE(controller->canUpdate());
        log.reset();
        controller.reset();
    }
}

// The refusal of a second update is answered with a box in the window; while it is up, the
// controller's locks are free (the probe runs on another thread, as arrivals do).
TEST_F(UpdaterControllerTest, NoLockIsHeldWhileAnErrorIsShown) {
    plugTable("OZ3T000032");
    auto* probed = new ProbedController;
    controller.reset(probed);
    log = std::make_unique<ControllerSignalLog>(probed);
    probed->checkConnectedDevice();
    ASSERT_TRUE(waitForArrivals(1));
    probed->setFirmwareData(embeddedFirmware());
    int answered = 0;
    probed->onShowError([&] {
        std::thread probe([&] {
            if (probed->isUpdateRunning()) ++answered;
            QMetaObject::invokeMethod(probed, "slotOrbiZo3Departure", Qt::DirectConnection,
                                      Q_ARG(QString, QStringLiteral("elsewhere")));
        });
        probe.join();
    });
    probed->startUpdate(false);
    probed->startUpdate(false);
    EXPECT_EQ(1, answered);
    ASSERT_TRUE(waitForUpdateEnd());
}

// Destroying the controller stops the notifier before it takes its own lock: the start-up check
// may be reporting an arrival that waits for that lock.
TEST_F(UpdaterControllerTest, DestroyedWhileTheStartupCheckReports) {
    plugTable("OZ3T000025");
    for (int round = 0; round < 20; ++round) {
        auto* early = new UpdaterController;
        early->checkConnectedDevice();
        delete early;
    }
    SUCCEED();
}

}  // namespace
