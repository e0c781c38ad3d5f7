#include "WindowTest.h"

#include <QTest>

void WindowTest::SetUp() {
#if defined(__SANITIZE_THREAD__)
    // Every thread a window test starts besides ours is Qt's (pool, dialogs, image workers), and
    // Qt is not instrumented: its own queue hand-overs read as races. The threaded parts of the
    // window (controller, worker, notifier) run under ThreadSanitizer in their own tests.
    GTEST_SKIP() << "window tests run under AddressSanitizer and in the plain build";
#endif
    GuiTest::SetUp();
}

void WindowTest::TearDown() {
    signalLog.reset();
    window.reset();
    GuiTest::TearDown();
}

void WindowTest::openWindow(bool simulated) {
    Korvane::Utilities::RunSettings settings;
    if (simulated) settings.useSimulatedTables(0);
    window = std::make_unique<MainWindow>(nullptr, settings);
    signalLog = std::make_unique<ControllerSignalLog>(controller());
    window->show();
}

QAction* WindowTest::action(const QString& text) {
    for (QAction* candidate : window->findChildren<QAction*>())
        if (candidate->text() == text) return candidate;
    ADD_FAILURE() << "no menu entry " << text.toStdString();
    return nullptr;
}

bool WindowTest::waitForTable(const QString& serial) {
    return QTest::qWaitFor([&] { return label("snLabel")->text() == serial; }, kDeadlineMs);
}

bool WindowTest::waitForUpdateEnd() {
    return QTest::qWaitFor(
        [&] {
            return (!signalLog->errors.empty() || !signalLog->successes.empty()) &&
                   !controller()->isUpdateRunning();
        },
        kDeadlineMs);
}

int WindowTest::countInLog(const QString& needle) {
    return log()->toHtml().count(needle);
}
