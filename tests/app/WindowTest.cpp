#include "WindowTest.h"

#include <QTest>

void WindowTest::SetUp() {
    GuiTest::SetUp();
}

void WindowTest::TearDown() {
    signalLog.reset();
    window.reset();
    GuiTest::TearDown();
}

void WindowTest::openWindow(bool simulated, const QString& historyFile) {
    Korvane::Utilities::RunSettings settings;
    if (simulated) settings.useSimulatedTables(0);
    settings.setHistoryFile(historyFile);
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
