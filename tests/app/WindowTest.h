#pragma once

#include <memory>

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

#include "ControllerSignalLog.h"
#include "GuiTest.h"
#include "MessageBoxAnswerer.h"
#include "app/MainWindow.h"
#include "app/UpdaterController.h"

// Drives the real main window over simulated tables.
class WindowTest : public GuiTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates and shows the window; its start-up check runs right away.
    // The window of a run on the simulated bus (as every test here runs), or on real USB.
    // `historyFile`: the run's history (empty: none kept).
    void openWindow(bool simulated = true, const QString& historyFile = QString());
    template <typename T>
    T* widget(const char* name) {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(nullptr, found) << name;
        return found;
    }
    QLabel* label(const char* name) { return widget<QLabel>(name); }
    QPushButton* button(const char* name) { return widget<QPushButton>(name); }
    QTextEdit* log() { return widget<QTextEdit>("mMessageEdit"); }
    QProgressBar* progressBar() { return widget<QProgressBar>("mProgressBar"); }
    // The menu entry with this text.
    QAction* action(const QString& text);
    UpdaterController* controller() { return window->findChild<UpdaterController*>(); }

    // Waits for the serial number label to show serial.
    bool waitForTable(const QString& serial);
    // Waits for the worker's outcome and for the worker to end.
    bool waitForUpdateEnd();
    int countInLog(const QString& needle);

    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ControllerSignalLog> signalLog;
};
