// Drives the real main window over simulated tables whose timing model is on and measures how
// long its GUI thread stalls: a 10 ms timer on the GUI thread records the longest gap between
// two of its ticks during each phase. Message boxes are answered with Ok as they appear.
//   orbizo3-gui-stall-benchmark
// prints one line per phase: "<phase>: max GUI stall <N> ms" (N includes the 10 ms interval).
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "app/MainWindow.h"
#include "app/UpdaterController.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/Fault.h"
#include "simulator/SimulatedTable.h"
#include "simulator/SimulatorEnvironment.h"

using Korvane::Simulator::Fault;
using Korvane::Simulator::SimulatedTable;
using std::chrono::milliseconds;

namespace {

constexpr int kTickMs = 10;
// Deadline of one phase; a full update takes about 45 s.
constexpr int kPhaseDeadlineMs = 120000;

// The longest gap between ticks of a timer on the GUI thread since the last reset.
class StallMeter {
public:
    StallMeter() {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout,
                         [this] { longest = std::max(longest, clock.restart()); });
        timer.start(kTickMs);
        clock.start();
    }
    void reset() {
        clock.restart();
        longest = 0;
    }
    qint64 longestGap() const { return longest; }

private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
};

// Clicks Ok on every message box that shows, also inside the boxes' own event loops.
class BoxAnswerer {
public:
    BoxAnswerer() {
        QObject::connect(&timer, &QTimer::timeout, [] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (!box || !box->isVisible()) continue;
                if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
                return;
            }
        });
        timer.start(5);
    }
    static bool boxShown() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(widget) && widget->isVisible()) return true;
        return false;
    }

private:
    QTimer timer;
};

// Runs the event loop until done() or the deadline; false at the deadline.
bool runUntil(const std::function<bool()>& done, int deadlineMs = kPhaseDeadlineMs) {
    QEventLoop loop;
    bool finished = false;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (!done()) return;
        finished = true;
        loop.quit();
    });
    check.start(5);
    QTimer::singleShot(deadlineMs, &loop, &QEventLoop::quit);
    loop.exec();
    return finished;
}

enum class Kind { Normal, Slow, Silent };

std::shared_ptr<SimulatedTable> makeTable(const std::string& serial, Kind kind) {
    auto table = SimulatedTable::create(serial);
    table->enableTiming(true);
    if (kind == Kind::Slow) table->inject(Fault::delayed("", milliseconds(1500), 0));
    if (kind == Kind::Silent) table->inject(Fault::drop("", 0));
    return table;
}

}  // namespace

int main(int argc, char** argv) {
    Korvane::Utilities::RunSettings settings;
    settings.useSimulatedTables(0);
    settings.setSimulatorTiming(true);  // its tables keep real time: so do the time-outs
    // The window keeps its update history as a user's would: every update is recorded.
    const QTemporaryDir historyFolder;
    settings.setHistoryFile(historyFolder.filePath("history.sqlite3"));
    Korvane::Simulator::SimulatorEnvironment::start(settings);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);

    auto normal = makeTable("OZ3B000001", Kind::Normal);
    auto other = makeTable("OZ3B000002", Kind::Normal);
    auto slow = makeTable("OZ3B000003", Kind::Slow);
    auto silent = makeTable("OZ3B000004", Kind::Silent);

    MainWindow window(nullptr, settings);
    window.show();
    auto* controller = window.findChild<UpdaterController*>();
    QSignalSpy arrivals(controller, SIGNAL(DeviceArrival(QString, QString)));
    QSignalSpy departures(controller, SIGNAL(DeviceDeparture()));
    QSignalSpy errors(controller, SIGNAL(ShowError(QString, QString, QString)));
    QSignalSpy successes(controller, SIGNAL(SuccessfulUpdate(bool)));
    QSignalSpy progress(controller, SIGNAL(ProgressEvent(int)));
    BoxAnswerer answerer;
    StallMeter meter;
    bool allFinished = true;

    // Waits (unmeasured) for the window to settle: no box, no update, no identification.
    const auto settled = [&] { return !BoxAnswerer::boxShown() && !controller->isUpdateRunning(); };
    const auto phase = [&](const char* name, const std::function<void()>& action,
                           const std::function<bool()>& done) {
        runUntil(settled);
        meter.reset();
        action();
        const bool finished = runUntil([&] { return done() && settled(); });
        allFinished = allFinished && finished;
        std::printf("%s: max GUI stall %lld ms%s\n", name,
                    static_cast<long long>(meter.longestGap()), finished ? "" : " (unfinished)");
        std::fflush(stdout);
    };
    // Each arrival ends in exactly one DeviceArrival or ShowError.
    const auto outcomes = [&] { return arrivals.count() + errors.count(); };
    const auto arrivalEnds = [&] {
        const int before = outcomes();
        return [&, before] { return outcomes() > before; };
    };
    const auto departureSeen = [&] {
        const int before = departures.count();
        return [&, before] { return departures.count() > before; };
    };
    const auto unplugSelected = [&](const std::shared_ptr<SimulatedTable>& table) {
        auto seen = departureSeen();
        table->unplug();
        runUntil(seen);
    };

    const std::pair<const char*, std::shared_ptr<SimulatedTable>> arrivalsOf[] = {
        {"arrival, normal table", normal},
        {"arrival, slow answers (1.5 s each)", slow},
        {"arrival, silent table", silent},
    };
    for (const auto& [name, table] : arrivalsOf) {
        auto ended = arrivalEnds();
        phase(
            name, [&] { table->plug(); }, ended);
        unplugSelected(table);
    }

    const std::pair<const char*, std::shared_ptr<SimulatedTable>> replacements[] = {
        {"selected table leaves, normal table arrives", other},
        {"selected table leaves, slow table arrives", slow},
        {"selected table leaves, silent table arrives", silent},
    };
    for (const auto& [name, table] : replacements) {
        auto identified = arrivalEnds();
        normal->plug();
        runUntil(identified);
        auto ended = arrivalEnds();
        phase(
            name,
            [&, table = table] {
                normal->unplug();
                table->plug();
            },
            ended);
        unplugSelected(table);
    }

    {
        auto identified = arrivalEnds();
        normal->plug();
        runUntil(identified);
        auto left = departureSeen();
        auto ended = arrivalEnds();
        phase(
            "quick replug",
            [&] {
                normal->unplug();
                normal->plug();
            },
            [&] { return left() && ended(); });
    }

    {
        const int before = successes.count();
        phase(
            "full update of the embedded firmware",
            [&] { QMetaObject::invokeMethod(&window, "slotExecuteFirmwareDownload"); },
            [&] { return successes.count() > before; });
    }
    phase(
        "departure", [&] { normal->unplug(); }, departureSeen());

    {
        auto identified = arrivalEnds();
        other->plug();
        runUntil(identified);
        const int before = errors.count();
        progress.clear();
        bool unplugged = false;
        phase(
            "departure during an update",
            [&] { QMetaObject::invokeMethod(&window, "slotExecuteFirmwareDownload"); },
            [&] {
                // Pulled out once the first sectors are written.
                if (!unplugged && !progress.isEmpty() && progress.last().at(0).toInt() >= 30) {
                    other->unplug();
                    unplugged = true;
                }
                return errors.count() > before;
            });
    }

    {
        auto ended = arrivalEnds();
        slow->clearTranscript();
        slow->plug();
        runUntil([&] { return slow->transcriptText().find("a1") != std::string::npos; });
        phase(
            "close request during a slow identification", [&] { window.close(); }, ended);
    }

    Korvane::Platform::SimulatedUsbBus::instance().unplugAll();
    return allFinished ? 0 : 1;
}
