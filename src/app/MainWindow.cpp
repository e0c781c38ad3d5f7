#include "app/MainWindow.h"

#include <algorithm>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSpacerItem>
#include <QTimer>

#include "app/AppVersion.h"
#include "app/HistoryDialog.h"
#include "app/LastRecordLine.h"
#include "app/UpdaterController.h"
#include "ui_MainWindow.h"

namespace {

const char* const kApplicationImage = ":/Resources/OrbiZo3FWUpdater.png";
const char* const kEmbeddedFirmware = ":/Resources/FW_Zo3.zof";
const char* const kFailOverlay = ":/Resources/FWIconFail.png";
const char* const kPassOverlay = ":/Resources/FWIconPass.png";
const char* const kWarningOverlay = ":/Resources/FWIconWarning.png";

// A text for the HTML log: shown as it is, its line breaks kept.
QString logText(const QString& text) {
    return text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

constexpr int kBoxIconSize = 64;
constexpr int kBoxMinimumWidth = 366;
constexpr int kAnimationIntervalMs = 250;
// The animation wanders through the download's span and starts over below it.
constexpr int kAnimationCeiling = 90;
constexpr int kAnimationRestart = 20;

}  // namespace

MainWindow::MainWindow(QWidget* parent, const Korvane::Utilities::RunSettings& settings)
    : QMainWindow(parent),
      ui(new Ui::MainWindow),
      controller(new UpdaterController(this, settings)),
      progressTimer(new QTimer(this)),
      historyFile(settings.historyFile()),
      lastRecord(new LastRecordLine(settings.historyFile(), this)) {
    ui->setupUi(this);
    ui->formLayout->addRow(lastRecord);
    const bool simulated = settings.simulated();
    QString title = QStringLiteral("%1 %2").arg(AppVersion::applicationTitle(),
                                                AppVersion::embeddedFirmwareVersionText());
    if (simulated) title += tr(" (simulated tables)", "Window title suffix");
    setWindowTitle(title);
    // Serial numbers come from the tables: shown as they are, never as markup.
    ui->snLabel->setTextFormat(Qt::PlainText);
    ui->fwLabel->setTextFormat(Qt::PlainText);
    buildMenus();
    connectController();
    connect(ui->mPushButtonUpdate, SIGNAL(clicked()), this, SLOT(slotExecuteFirmwareDownload()));
    connect(ui->mPushButtonQuit, SIGNAL(clicked()), this, SLOT(slotExit()));

    ui->mPushButtonQuit->hide();
    ui->mImageLabel->installEventFilter(this);
    ui->customFWcheckBox->hide();

    QString welcome;
    if (simulated)
        welcome =
            tr("<b>Simulated tables (ORBIZO3_SIMULATOR): no real OrbiZo3 is updated.</b>"
               "<br><br>");
    ui->mMessageEdit->setHtml(
        welcome +
        tr("This utility will update the firmware of your OrbiZo3 instrument.<br><br><b>Please "
           "follow on screen instructions very carefully as a failure in the update process may "
           "render your instrument unusable.</b><br><br>If you have any questions about when or "
           "why you would use this update please contact Korvane or your Korvane reseller."));

    adjustSize();
    updateControls(false);
    controller->checkConnectedDevice();
}

MainWindow::~MainWindow() {
    delete controller;
    delete ui;
}

void MainWindow::buildMenus() {
    fileMenu = menuBar()->addMenu(tr("&File"));
    exitAction = fileMenu->addAction(tr("E&xit"));
    connect(exitAction, SIGNAL(triggered()), this, SLOT(slotExit()));

    serviceMenu = menuBar()->addMenu(tr("&Service"));
    updateAction = serviceMenu->addAction(tr("&Update OrbiZo3 firmware", "Menu entry"));
    connect(updateAction, SIGNAL(triggered()), this, SLOT(slotExecuteFirmwareDownload()));
    historyAction = serviceMenu->addAction(tr("Update &history...", "Menu entry"));
    connect(historyAction, &QAction::triggered, this, [this] { showHistory(); });

    helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    aboutAction = helpMenu->addAction(tr("&About"));
    connect(aboutAction, SIGNAL(triggered()), this, SLOT(slotAbout()));
}

void MainWindow::connectController() {
    connect(controller, SIGNAL(DeviceArrival(QString, QString)), this,
            SLOT(slotDeviceArrival(QString, QString)));
    connect(controller, SIGNAL(DeviceDeparture()), this, SLOT(slotDeviceDeparture()));
    connect(controller, SIGNAL(SilentMessage(QString)), this, SLOT(slotSilentMessage(QString)));
    connect(controller, SIGNAL(ShowError(QString, QString, QString)), this,
            SLOT(slotShowError(QString, QString, QString)));
    connect(controller, SIGNAL(SuccessfulUpdate(bool)), this, SLOT(slotSuccessfulUpdate(bool)));
    connect(controller, SIGNAL(ProgressEvent(int)), ui->mProgressBar, SLOT(setValue(int)));
    connect(controller, SIGNAL(ProgessAnimate(bool)), this, SLOT(slotProgessAnimate(bool)));
}

void MainWindow::updateControls(bool busy) {
    const bool idle = !busy && !controller->isUpdateRunning();
    aboutAction->setEnabled(idle);
    exitAction->setEnabled(idle);
    const bool mayUpdate = !busy && controller->canUpdate();
    updateAction->setEnabled(mayUpdate);
    ui->mPushButtonUpdate->setEnabled(mayUpdate);
    // After an error or a success the Update button comes back as soon as a table is there and
    // no update runs; Quit stays.
    if (!busy && ui->mPushButtonUpdate->isHidden() && controller->hasIdleTable())
        ui->mPushButtonUpdate->show();
    if (mayUpdate) {
        ui->mPushButtonUpdate->setDefault(true);
        ui->mPushButtonQuit->setDefault(false);
    }
}

int MainWindow::showMessageBox(QWidget* parent, const QString& text, const QString& informativeText,
                               QMessageBox::StandardButtons buttons,
                               QMessageBox::StandardButton defaultButton,
                               const QString& overlayIconPath) {
    QPixmap icon =
        QPixmap(QString::fromLatin1(kApplicationImage))
            .scaled(kBoxIconSize, kBoxIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!overlayIconPath.isEmpty()) {
        const QPixmap overlay(overlayIconPath);
        QPainter painter(&icon);
        painter.drawPixmap(0, kBoxIconSize - overlay.height(), overlay);
    }

    QMessageBox box(parent);
    // Texts of tables and firmware files reach the boxes: they are shown, never interpreted.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setInformativeText(informativeText);
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    box.setIconPixmap(icon);
    box.setStandardButtons(buttons);
    box.setDefaultButton(defaultButton);
    box.setWindowModality(Qt::WindowModal);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(
            new QSpacerItem(kBoxMinimumWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box.exec();
}

int MainWindow::showWarningBox(QWidget* parent, const QString& text,
                               const QString& informativeText) {
    return showMessageBox(parent, text, informativeText, QMessageBox::Ok, QMessageBox::NoButton,
                          QString::fromLatin1(kWarningOverlay));
}

void MainWindow::slotAbout() {
    QMessageBox::about(
        this,
        tr("About %1", "Window title. %1=application name").arg(AppVersion::applicationTitle()),
        tr("%1 Version: %2\nFirmware Version: %3\n\nCopyright (c) %4-%5 Korvane. All rights "
           "reserved.",
           "Text in about window. %1=AppName. %2=AppVersion. %3=FirmwareVersion. "
           "%4=LaunchYear. %5=CurentYear")
            .arg(AppVersion::applicationTitle(), AppVersion::applicationVersionText(),
                 AppVersion::embeddedFirmwareVersionText(),
                 QString::number(AppVersion::kLaunchYear),
                 QString::number(AppVersion::buildYear())));
}

void MainWindow::showHistory() {
    HistoryDialog dialog(historyFile, this);
    dialog.exec();
}

void MainWindow::refreshLastRecord() {
    const QString serial = ui->snLabel->text();
    if (serial != QStringLiteral("-")) lastRecord->showTable(serial);
}

void MainWindow::slotExit() {
    close();
}

void MainWindow::slotDeviceArrival(const QString& xSerialNumber, const QString& xFirmwareVersion) {
    ui->snLabel->setText(xSerialNumber);
    ui->fwLabel->setText(xFirmwareVersion);
    lastRecord->showTable(xSerialNumber);
    updateControls(false);
}

void MainWindow::slotDeviceDeparture() {
    ui->snLabel->setText(QStringLiteral("-"));
    ui->fwLabel->setText(QStringLiteral("-"));
    lastRecord->clearTable();
    updateControls(false);
}

void MainWindow::slotExecuteFirmwareDownload() {
    updateControls(true);
    if (!ui->customFWcheckBox->isChecked()) {
        slotLaunchCustomFWUpdate(QString::fromLatin1(kEmbeddedFirmware), false);
        return;
    }
    auto* dialog = new QFileDialog(this, Qt::Sheet);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(tr("OrbiZo3 Firmware (*.zof)"));
    dialog->setDirectory(QDir::homePath());
    dialog->selectFile(QStringLiteral("FW_ZO3_107.zof"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::ReadOnly);
    // A dismissed dialog selects nothing; give the controls back all the same.
    connect(dialog, &QDialog::rejected, this, [this] { updateControls(false); });
    dialog->open(this, SLOT(slotLaunchCustomFWUpdate(QString)));
}

void MainWindow::slotProgessAnimate(bool xStart) {
    if (!xStart) {
        stopProgressAnimation();
        return;
    }
    connect(progressTimer, SIGNAL(timeout()), this, SLOT(slotUpdateProgressBar()),
            Qt::UniqueConnection);
    progressTimer->start(kAnimationIntervalMs);
}

// One whole step per tick: the download's span spread over the expected duration, and never
// less than one so that the bar visibly moves.
void MainWindow::slotUpdateProgressBar() {
    const double ticks = controller->expectedDuration() * (1000.0 / kAnimationIntervalMs);
    const int step = std::max(1, static_cast<int>(75.0 / ticks));
    int value = ui->mProgressBar->value() + step;
    if (value > kAnimationCeiling) value = kAnimationRestart;
    ui->mProgressBar->setValue(value);
}

void MainWindow::slotSilentMessage(const QString& xMsg) {
    QString html = ui->mMessageEdit->toHtml();
    if (!ui->mMessageEdit->toPlainText().isEmpty()) html += QLatin1Char('\n');
    html += xMsg;
    ui->mMessageEdit->setHtml(html);
}

void MainWindow::slotShowError(const QString& xCaption, const QString& xText,
                               const QString& xWhat) {
    refreshLastRecord();
    stopProgressAnimation();
    showFinishedState();
    const QString caption =
        xCaption.isEmpty() ? tr("Firmware update failed", "MsgBox title") : xCaption;

    // The texts come from firmware files and tables: they are shown, never interpreted. The log
    // is HTML, so its line breaks are <br>.
    QString line = QStringLiteral("<font color=red><b>") + logText(caption) +
                   QStringLiteral("</b></font>:<br>") + logText(xText);
    if (!xWhat.isEmpty()) line += QStringLiteral("<br>[") + logText(xWhat) + QLatin1Char(']');
    slotSilentMessage(line);

    showMessageBox(this, caption, xText, QMessageBox::Ok, QMessageBox::Ok,
                   QString::fromLatin1(kFailOverlay));
    updateControls(false);
}

void MainWindow::slotSuccessfulUpdate(bool xRequiresReconnect) {
    showFinishedState();
    const QString text =
        xRequiresReconnect
            ? tr("Successfully updated firmware.\nPlease unplug and replug your OrbiZo3 now.",
                 "MsgBox text")
            : tr("Successfully updated firmware.", "MsgBox text");
    ui->fwLabel->setText(controller->newFirmwareVersionText());
    refreshLastRecord();
    slotSilentMessage(QStringLiteral("<font color=green><b>") + logText(text) +
                      QStringLiteral("</b></font>"));
    showMessageBox(this, tr("Update successful", "MsgBox title"), text, QMessageBox::Ok,
                   QMessageBox::Ok, QString::fromLatin1(kPassOverlay));
    updateControls(false);
}

void MainWindow::slotLaunchCustomFWUpdate(const QString& xCustomFWPath) {
    slotLaunchCustomFWUpdate(xCustomFWPath, true);
}

void MainWindow::slotLaunchCustomFWUpdate(const QString& xCustomFWPath, bool xCustomFW) {
    if (xCustomFWPath.isEmpty()) {
        updateControls(false);
        return;
    }
    QFile file(xCustomFWPath);
    if (!file.open(QIODevice::ReadOnly)) {
        slotShowError(QString(), tr("Firmware file not found."), QString());
        updateControls(false);
        return;
    }
    controller->setFirmwareData(file.readAll(), xCustomFW ? xCustomFWPath : QString());
    if (!confirmUpdate()) {
        controller->declineUpdate(xCustomFW);
        updateControls(false);
        return;
    }
    // An earlier error or success left the bar disabled.
    ui->mProgressBar->setEnabled(true);
    controller->startUpdate(xCustomFW);
}

bool MainWindow::confirmUpdate() {
    const QMessageBox::StandardButtons okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    if (showMessageBox(
            this, tr("Close any Orbi application", "MsgBox1 title"),
            tr("Please close all applications that use the OrbiZo3 instrument.", "MsgBox1 text"),
            okCancel, QMessageBox::Cancel, QString()) != QMessageBox::Ok)
        return false;
    if (showMessageBox(this, tr("Do you want to update this OrbiZo?", "MsgBox1 title"),
                       tr("Follow the on screen instructions carefully.", "MsgBox1 text"), okCancel,
                       QMessageBox::Cancel, QString()) != QMessageBox::Ok)
        return false;
    return showMessageBox(
               this,
               tr("Do not disconnect the instrument or power down your computer during the update "
                  "procedure as failure to complete the procedure may render the instrument "
                  "unusable",
                  "MsgBox2 title"),
               tr("The update procedure will take a few moments and you will be notified when it "
                  "is complete.",
                  "MsgBox2 text"),
               okCancel, QMessageBox::Cancel,
               QString::fromLatin1(kWarningOverlay)) == QMessageBox::Ok;
}

void MainWindow::showFinishedState() {
    ui->mPushButtonUpdate->hide();
    ui->mPushButtonQuit->show();
    ui->mPushButtonQuit->setDefault(true);
    ui->mProgressBar->setValue(0);
    ui->mProgressBar->setEnabled(false);
}

void MainWindow::stopProgressAnimation() {
    progressTimer->stop();
    progressTimer->disconnect();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (controller->isUpdateRunning()) {
        showMessageBox(this, tr("Update in progress", "MsgBox title"),
                       tr("Wait until download has been completed."), QMessageBox::Ok,
                       QMessageBox::NoButton, QString());
        e->ignore();
        return;
    }
    e->accept();
}

bool MainWindow::eventFilter(QObject* obj, QEvent* event) {
    if (obj == ui->mImageLabel && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->modifiers() == (Qt::ShiftModifier | Qt::AltModifier)) {
            ui->customFWcheckBox->setHidden(!ui->customFWcheckBox->isHidden());
            return true;
        }
    }
    return QMainWindow::eventFilter(obj, event);
}
