#include "app/UpdaterController.h"

#include <exception>
#include <string>
#include <vector>

#include <QMutexLocker>
#include <QRecursiveMutex>

#include "app/OrbiZo3Notifier.h"
#include "app/UpdaterThread.h"
#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/MessageException.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace {

// The facade's version word as the window shows it: "-" for none.
QString versionOrDash(std::uint16_t versionWord) {
    return versionWord == 0 ? QStringLiteral("-") : DeviceInfo::versionText(versionWord);
}

}  // namespace

UpdaterController::UpdaterController(QObject* parent)
    : QObject(parent),
      lock(new QRecursiveMutex),
      notifier(new OrbiZo3Notifier),
      updater(new OrbiZo3FWUpdater(this)) {
    // Direct: the handling, including the identification read, runs on the notifier's thread.
    connect(notifier, SIGNAL(OrbiZo3Arrival(QString)), this, SLOT(slotOrbiZo3Arrival(QString)),
            Qt::DirectConnection);
    connect(notifier, SIGNAL(OrbiZo3Departure(QString)), this, SLOT(slotOrbiZo3Departure(QString)),
            Qt::DirectConnection);
}

UpdaterController::~UpdaterController() {
    // The notifier goes first and outside the lock: stopping it waits for the notification
    // thread and the start-up check, and either may be inside an arrival, waiting for the lock.
    delete notifier;
    notifier = nullptr;
    {
        QMutexLocker guard(lock);
        // The worker uses the facade until it ends.
        if (worker) worker->wait();
        delete updater;
        updater = nullptr;
    }
    delete lock;
}

void UpdaterController::checkConnectedDevice() {
    notifier->checkConnectedDevice();
}

bool UpdaterController::isUpdateRunning() {
    QMutexLocker guard(lock);
    return workerRunning();
}

bool UpdaterController::canUpdate() {
    QMutexLocker guard(lock);
    if (workerRunning()) return false;
    return !updater->devicePath().isEmpty() && updater->newFirmwareVersion() == 0;
}

QString UpdaterController::newFirmwareVersionText() {
    QMutexLocker guard(lock);
    return versionOrDash(updater->newFirmwareVersion());
}

void UpdaterController::setFirmwareData(const QByteArray& xData) {
    QMutexLocker guard(lock);
    if (!workerRunning()) updater->setFirmwareData(xData);
}

void UpdaterController::startUpdate(bool customFirmware) {
    QMutexLocker guard(lock);
    if (workerRunning()) {
        emit ShowError(tr("Update in progress"), tr("Wait until download has been completed."),
                       QString());
        return;
    }
    if (worker) {
        worker->wait();
        delete worker;
    }
    worker = new UpdaterThread(this, updater, customFirmware);
    connect(worker, SIGNAL(Error(QString, QString, QString)), this,
            SLOT(slotThreadError(QString, QString, QString)));
    connect(worker, SIGNAL(SuccessfulUpdate(bool)), this, SLOT(slotSuccessfulUpdate(bool)));
    connect(worker, SIGNAL(ProgressEvent(int)), this, SLOT(slotProgressEvent(int)));
    connect(worker, SIGNAL(ProgessAnimate(bool)), this, SLOT(slotProgessAnimate(bool)));
    connect(worker, SIGNAL(SilentMessage(QString)), this, SLOT(slotSilentMessage(QString)));
    // Queued behind the worker's last signal; by then the worker counts as finished.
    connect(worker, &QThread::finished, this, [this] { workerFinished(); });
    worker->start();
}

void UpdaterController::slotOrbiZo3Arrival(const QString& xPath) {
    QMutexLocker guard(lock);
    if (workerRunning()) return;
    // The first table stays selected until it leaves.
    if (!updater->devicePath().isEmpty()) return;
    try {
        identify(xPath);
    } catch (const MessageException& e) {
        emit ShowError(e.title, e.text, e.detail);
    } catch (const std::exception& e) {
        // Runs on a foreign thread: nothing may escape into the notification service.
        emit ShowError(QString(), QString(), QString::fromLocal8Bit(e.what()));
    }
}

void UpdaterController::slotOrbiZo3Departure(const QString& xPath) {
    QMutexLocker guard(lock);
    if (workerRunning()) return;
    // Device paths name the same device in any letter case: the device search and the
    // notification service do not spell them alike.
    if (xPath.compare(updater->devicePath(), Qt::CaseInsensitive) != 0) return;
    updater->setDevicePath(QString());
    emit DeviceDeparture();
}

void UpdaterController::slotThreadError(const QString& xCaption, const QString& xText,
                                        const QString& xWhat) {
    emit ShowError(xCaption, xText, xWhat);
}

void UpdaterController::slotSuccessfulUpdate(bool xRequiresReconnect) {
    emit SuccessfulUpdate(xRequiresReconnect);
}

void UpdaterController::slotProgressEvent(int xValue) {
    emit ProgressEvent(xValue);
}

void UpdaterController::slotProgessAnimate(bool xStart) {
    emit ProgessAnimate(xStart);
}

void UpdaterController::slotSilentMessage(const QString& xMsg) {
    emit SilentMessage(xMsg);
}

bool UpdaterController::workerRunning() const {
    return worker && !worker->isFinished();
}

// The path stays selected even when the identification fails: the table is there, only its
// answer is missing, and its departure clears it as usual.
void UpdaterController::identify(const QString& path) {
    updater->setDevicePath(path);
    DeviceConnection connection(path);
    const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
    emit DeviceArrival(info.serialNumber, versionOrDash(info.firmwareVersion()));
}

// Arrivals and departures are dropped while a worker runs, so the selected table may have left
// during the update. Catch up on that departure now, or the stale path would keep every later
// arrival out.
void UpdaterController::workerFinished() {
    QMutexLocker guard(lock);
    if (workerRunning()) return;
    const QString selected = updater->devicePath();
    if (selected.isEmpty()) return;
    const std::vector<std::string> present = Korvane::DeviceDriver::OrbiZo::USB::findDevicePaths(
        Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId,
        Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId);
    for (const std::string& path : present)
        if (selected.compare(QString::fromStdString(path), Qt::CaseInsensitive) == 0) return;
    updater->setDevicePath(QString());
    emit DeviceDeparture();
}
