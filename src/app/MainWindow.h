#pragma once

#include <QCloseEvent>
#include <QEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QString>

#include "utilities/RunSettings.h"

class QAction;
class QMenu;
class LastRecordLine;
class QTimer;
class UpdaterController;

namespace Ui {
class MainWindow;
}

// The application's only window: the table's serial number and firmware version, the message
// log, the progress bar, the update and quit buttons and the menus. All device work goes through
// the UpdaterController; the window reacts to its signals (delivered in the GUI thread) and asks
// it what may be enabled.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // The window says so when the settings choose simulated tables; its controller works with
    // the settings.
    explicit MainWindow(QWidget* parent = nullptr, const Korvane::Utilities::RunSettings& settings =
                                                       Korvane::Utilities::RunSettings());
    ~MainWindow() override;

    // A modal box with the application image (64 x 64) as icon, overlayIconPath (if any) painted
    // into its bottom-left corner, at least 366 pixels wide. Returns the button that closed it.
    static int showMessageBox(QWidget* parent, const QString& text, const QString& informativeText,
                              QMessageBox::StandardButtons buttons,
                              QMessageBox::StandardButton defaultButton,
                              const QString& overlayIconPath);
    // An Ok box with the warning overlay.
    static int showWarningBox(QWidget* parent, const QString& text, const QString& informativeText);

protected slots:
    void slotAbout();
    void slotExit();
    void slotDeviceArrival(const QString& xSerialNumber, const QString& xFirmwareVersion);
    void slotDeviceDeparture();
    void slotExecuteFirmwareDownload();
    void slotProgessAnimate(bool xStart);
    void slotUpdateProgressBar();
    void slotSilentMessage(const QString& xMsg);
    void slotShowError(const QString& xCaption, const QString& xText, const QString& xWhat);
    void slotSuccessfulUpdate(bool xRequiresReconnect);
    void slotLaunchCustomFWUpdate(const QString& xCustomFWPath);
    void slotLaunchCustomFWUpdate(const QString& xCustomFWPath, bool xCustomFW);
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* event) override;

private:
    void buildMenus();
    void connectController();
    // Enables the About and Exit entries when no update runs, the update entry and button when
    // the controller allows an update; busy disables all four.
    void updateControls(bool busy);
    // The three questions before an update; true when each was answered with Ok.
    bool confirmUpdate();
    // Error and success end alike: Update gives way to Quit, the bar rests at 0.
    void showFinishedState();
    void stopProgressAnimation();
    // Service > Update history...: the dialog, modal.
    void showHistory();
    // The selected table's last record again (after an update ended).
    void refreshLastRecord();

    Ui::MainWindow* ui;
    UpdaterController* controller;
    QTimer* progressTimer;
    QMenu* helpMenu = nullptr;
    QMenu* serviceMenu = nullptr;
    QMenu* fileMenu = nullptr;
    QAction* updateAction = nullptr;
    QAction* aboutAction = nullptr;
    QAction* exitAction = nullptr;
    QAction* historyAction = nullptr;
    QString historyFile;  // empty: no history kept
    LastRecordLine* lastRecord;
};
