#include "app/UpdaterController.h"

#include <utility>

#include <QMutexLocker>
#include <QRecursiveMutex>
#include <QStringList>
#include <QThreadPool>

#include "app/OrbiZo3Notifier.h"
#include "app/UpdaterThread.h"
#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/UserFailure.h"
#include "history/ServiceRecord.h"
#include "utilities/MessageException.h"
#include "utilities/SanitizerHandOver.h"
#include "utilities/SanitizerLockHold.h"

using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceConnection;
using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceInfo;
using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater;
using Korvane::DeviceDriver::OrbiZo::Firmware::UserFailure;
using Korvane::DeviceDriver::OrbiZo::History::HistoryRecord;
using Korvane::DeviceDriver::OrbiZo::History::ServiceRecord;

namespace {

using Korvane::Utilities::SanitizerHandOver;
using Korvane::Utilities::SanitizerLockHold;

// The facade's version word as the window shows it: "-" for none.
QString versionOrDash(std::uint16_t versionWord) {
    return versionWord == 0 ? QStringLiteral("-") : DeviceInfo::versionText(versionWord);
}

}  // namespace

UpdaterController::UpdaterController(QObject* parent,
                                     const Korvane::Utilities::RunSettings& settings)
    : QObject(parent),
      lock(new QRecursiveMutex),
      notifier(new OrbiZo3Notifier),
      updater(new OrbiZo3FWUpdater(this, settings)),
      declines(new QThreadPool(this)) {
    declines->setMaxThreadCount(1);
    SanitizerHandOver::watchDeliveries();
    // Direct: the handling, including the identification read, runs on the notifier's thread.
    connect(notifier, SIGNAL(OrbiZo3Arrival(QString)), this, SLOT(slotOrbiZo3Arrival(QString)),
            Qt::DirectConnection);
    connect(notifier, SIGNAL(OrbiZo3Departure(QString)), this, SLOT(slotOrbiZo3Departure(QString)),
            Qt::DirectConnection);
}

UpdaterController::~UpdaterController() {
    // A declined update's record reports its warnings through this object.
    declines->waitForDone();
    // The notifier goes first: stopping it waits for the notification thread and the start-up
    // check, and either may be inside an arrival.
    delete notifier;
    notifier = nullptr;
    // The worker uses the facade until it ends.
    if (worker) worker->wait();
    delete updater;
    updater = nullptr;
    delete lock;
}

void UpdaterController::checkConnectedDevice() {
    notifier->checkConnectedDevice();
}

bool UpdaterController::isUpdateRunning() {
    QMutexLocker guard(&stateLock);
    return updateRunning;
}

bool UpdaterController::canUpdate() {
    QMutexLocker guard(&stateLock);
    return !updateRunning && !identifying && !selectedPath.isEmpty() && readBackVersion == 0;
}

bool UpdaterController::hasIdleTable() {
    QMutexLocker guard(&stateLock);
    return !updateRunning && !selectedPath.isEmpty();
}

QString UpdaterController::newFirmwareVersionText() {
    QMutexLocker guard(&stateLock);
    return versionOrDash(readBackVersion);
}

void UpdaterController::setFirmwareData(const QByteArray& xData, const QString& fromFile) {
    QMutexLocker guard(&stateLock);
    if (updateRunning) return;
    updater->setFirmwareData(xData);
    firmwareBytes = xData;
    firmwareFile = fromFile;
}

void UpdaterController::startUpdate(bool customFirmware) {
    bool refused = false;
    {
        QMutexLocker guard(&stateLock);
        refused = updateRunning;
        updateRunning = true;
    }
    // Emitted with no lock held: the window answers it with a modal box.
    if (refused) {
        emit ShowError(tr("Update in progress"), tr("Wait until download has been completed."),
                       QString());
        return;
    }
    // The previous worker has delivered its outcome; at most it is still leaving run().
    if (worker) {
        worker->wait();
        delete worker;
    }
    QString file;
    QByteArray bytes;
    {
        QMutexLocker guard(&stateLock);
        file = firmwareFile;
        bytes = firmwareBytes;
    }
    worker = new UpdaterThread(this, updater, customFirmware, file, bytes);
    connect(worker, SIGNAL(Error(QString, QString, QString)), this,
            SLOT(slotThreadError(QString, QString, QString)));
    connect(worker, SIGNAL(SuccessfulUpdate(bool)), this, SLOT(slotSuccessfulUpdate(bool)));
    connect(worker, SIGNAL(ProgressEvent(int)), this, SLOT(slotProgressEvent(int)));
    connect(worker, SIGNAL(ProgessAnimate(bool)), this, SLOT(slotProgessAnimate(bool)));
    connect(worker, SIGNAL(SilentMessage(QString)), this, SLOT(slotSilentMessage(QString)));
    // Runs on the new thread before its update: an identification that began before the update
    // was claimed ends first, so the two never hold the table at once. No new one starts, as
    // arrivals see the update running.
    connect(
        worker, &QThread::started, this,
        [this] {
            QMutexLocker device(lock);
            SanitizerLockHold held(lock);
        },
        Qt::DirectConnection);
    worker->start();
}

void UpdaterController::declineUpdate(bool customFirmware) {
    QString path;
    QString serial;
    std::uint16_t version = 0;
    QString file;
    QByteArray bytes;
    {
        QMutexLocker guard(&stateLock);
        if (updateRunning || selectedPath.isEmpty()) return;
        path = selectedPath;
        serial = selectedSerial;
        version = selectedVersion;
        file = customFirmware ? firmwareFile : QString();
        bytes = firmwareBytes;
    }
    const Korvane::Utilities::RunSettings settings = updater->settings();
    if (settings.historyFile().isEmpty()) return;
    // The history's durable write and its busy wait stay off the GUI thread.
    SanitizerHandOver::Sending toRecorder;
    declines->start([this, settings, path, serial, version, file, bytes, customFirmware] {
        SanitizerHandOver::received();
        try {
            OrbiZo3FWUpdater::checkFirmware(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        } catch (...) {
            return;
        }
        ServiceRecord record(settings, HistoryRecord::Kind::Update, HistoryRecord::FrontEnd::Window,
                             path, file, bytes,
                             customFirmware ? 0 : UpdaterThread::kEmbeddedFirmwareVersion,
                             [this](const QString& warning) {
                                 SanitizerHandOver::emitQueued([this, &warning] {
                                     emit SilentMessage("<br>" + warning.toHtmlEscaped());
                                 });
                             });
        record.identified(serial, version);
        record.cancelled();
    });
}

void UpdaterController::slotOrbiZo3Arrival(const QString& xPath) {
    // Everything below runs under the device lock, the emits included: a departure handled
    // next on another thread cannot overtake them. They reach the window queued.
    QMutexLocker device(lock);
    SanitizerLockHold held(lock);
    // Begun at the emit; the emitted texts share data with the locals below.
    SanitizerHandOver::Sending handOver(SanitizerHandOver::later);
    if (!claimTable(xPath)) return;
    QStringList failure;
    DeviceInfo info;
    try {
        info = identify(xPath);
    } catch (...) {
        // Runs on a foreign thread: nothing may escape into the notification service.
        const UserFailure e = UserFailure::fromCurrentException();
        // Whatever stops an identification is shown as its failure.
        if (e.source == UserFailure::Source::Message) {
            failure = QStringList{e.caption, e.text, e.detail};
        } else {
            const MessageException unreadable = OrbiZo3FWUpdater::versionUnreadable(e.reason);
            failure = QStringList{unreadable.title, unreadable.text, unreadable.detail};
        }
    }
    {
        QMutexLocker guard(&stateLock);
        identifying = false;
        selectedSerial = info.serialNumber;
        selectedVersion = failure.isEmpty() ? info.firmwareVersion() : 0;
    }
    // The path stays selected even when the identification fails: the table is there, only its
    // answer is missing, and its departure clears it as usual.
    handOver.begin();
    if (failure.isEmpty())
        emit DeviceArrival(info.serialNumber, versionOrDash(info.firmwareVersion()));
    else
        emit ShowError(failure.value(0), failure.value(1), failure.value(2));
}

void UpdaterController::slotOrbiZo3Departure(const QString& xPath) {
    QMutexLocker device(lock);
    SanitizerLockHold held(lock);
    {
        QMutexLocker guard(&stateLock);
        // Device paths name the same device in any letter case: the device search and the
        // notification service do not spell them alike.
        if (selectedPath.isEmpty() || xPath.compare(selectedPath, Qt::CaseInsensitive) != 0) return;
        if (updateRunning) {
            selectedLeftDuringUpdate = true;
            return;
        }
        selectedPath.clear();
        selectedSerial.clear();
        selectedVersion = 0;
        readBackVersion = 0;
        updater->setDevicePath(QString());
    }
    SanitizerHandOver::emitQueued([this] { emit DeviceDeparture(); });
}

void UpdaterController::slotThreadError(const QString& xCaption, const QString& xText,
                                        const QString& xWhat) {
    updateEnded();
    emit ShowError(xCaption, xText, xWhat);
}

void UpdaterController::slotSuccessfulUpdate(bool xRequiresReconnect) {
    updateEnded();
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

DeviceInfo UpdaterController::identify(const QString& path) {
    DeviceConnection connection(path, updater->settings());
    return OrbiZo3FWUpdater::readDeviceInfo(connection);
}

bool UpdaterController::claimTable(const QString& path) {
    QMutexLocker guard(&stateLock);
    if (updateRunning) {
        // The selected table came back before its update ended: it is there after all.
        if (path.compare(selectedPath, Qt::CaseInsensitive) == 0) selectedLeftDuringUpdate = false;
        return false;
    }
    // The first table stays selected until it leaves.
    if (!selectedPath.isEmpty()) return false;
    selectedPath = path;
    identifying = true;
    readBackVersion = 0;
    updater->setDevicePath(path);
    return true;
}

// Called on the GUI thread with the worker's last signal, after which the worker no longer
// touches the facade. A departure of the selected table dropped during the update is applied
// now; otherwise its stale path would keep every later arrival out.
void UpdaterController::updateEnded() {
    bool departed = false;
    {
        QMutexLocker guard(&stateLock);
        updateRunning = false;
        readBackVersion = updater->newFirmwareVersion();
        departed = std::exchange(selectedLeftDuringUpdate, false);
        // What the table holds now is no longer what its identification read.
        selectedVersion = 0;
        if (departed) {
            selectedPath.clear();
            selectedSerial.clear();
            readBackVersion = 0;
            updater->setDevicePath(QString());
        }
    }
    if (departed) emit DeviceDeparture();
}
