#include "app/UpdaterThread.h"

#include <QCoreApplication>

#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/UserFailure.h"
#include "history/ServiceRecord.h"
#include "utilities/SanitizerHandOver.h"

using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceConnection;
using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceInfo;
using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater;
using Korvane::DeviceDriver::OrbiZo::Firmware::UserFailure;
using Korvane::DeviceDriver::OrbiZo::History::HistoryRecord;
using Korvane::DeviceDriver::OrbiZo::History::ServiceRecord;

namespace {

using Korvane::Utilities::SanitizerHandOver;

// Start and end of the bar's span that the download itself covers.
constexpr float kDownloadStart = 15.0f;
constexpr float kDownloadEnd = 90.0f;

// Removes every receiver of the facade's progress signal when the download is over, however it
// ends, so that no later worker hears about an old download.
class ProgressConnection {
public:
    ProgressConnection(OrbiZo3FWUpdater* updater, QObject* receiver) : updater(updater) {
        QObject::connect(updater, SIGNAL(ProgressEvent(int, int)), receiver,
                         SLOT(slotProgressEvent(int, int)));
    }
    ~ProgressConnection() { updater->disconnect(SIGNAL(ProgressEvent(int, int))); }
    ProgressConnection(const ProgressConnection&) = delete;
    ProgressConnection& operator=(const ProgressConnection&) = delete;

private:
    OrbiZo3FWUpdater* updater;
};

// The facade hears of no observer once the download is over, however it ends.
class ObservedDownload {
public:
    ObservedDownload(OrbiZo3FWUpdater* updater, ServiceRecord* record) : updater(updater) {
        updater->setDownloadObserver(record);
    }
    ~ObservedDownload() { updater->setDownloadObserver(nullptr); }
    ObservedDownload(const ObservedDownload&) = delete;
    ObservedDownload& operator=(const ObservedDownload&) = delete;

private:
    OrbiZo3FWUpdater* updater;
};

}  // namespace

UpdaterThread::UpdaterThread(QObject* parent, OrbiZo3FWUpdater* updater, bool customFirmware,
                             const QString& firmwareFile, const QByteArray& firmwareBytes)
    : QThread(parent),
      updater(updater),
      customFirmware(customFirmware),
      firmwareFile(firmwareFile),
      firmwareBytes(firmwareBytes) {}

UpdaterThread::~UpdaterThread() = default;

void UpdaterThread::run() {
    // An error's texts are shared with the exception, which goes only after its handler: the
    // hand-over of an error lasts until run() returns.
    SanitizerHandOver::Sending handOver(SanitizerHandOver::later);
    std::optional<ServiceRecord> record;
    try {
        update(record);
    } catch (...) {
        const UserFailure failure = UserFailure::fromCurrentException();
        if (record)
            record->failed(failure, QCoreApplication::translate(
                                        "MainWindow", "Firmware update failed", "MsgBox title"));
        handOver.begin();
        emit Error(failure.caption, failure.text, failure.detail);
    }
}

void UpdaterThread::update(std::optional<ServiceRecord>& record) {
    SanitizerHandOver::emitQueued([this] { emit ProgressEvent(5); });
    // A file the download would refuse is refused before the table is even opened, and leaves
    // no record.
    updater->checkFirmware();
    if (!updater->devicePath().isEmpty()) {
        // History warnings join the window's log.
        record.emplace(
            updater->settings(), HistoryRecord::Kind::Update, HistoryRecord::FrontEnd::Window,
            updater->devicePath(), customFirmware ? firmwareFile : QString(), firmwareBytes,
            customFirmware ? 0 : kEmbeddedFirmwareVersion, [this](const QString& warning) {
                SanitizerHandOver::emitQueued(
                    [this, &warning] { emit SilentMessage("<br>" + warning.toHtmlEscaped()); });
            });
    }
    announceDevice(record ? &*record : nullptr);

    bool ok = false;
    {
        ProgressConnection progress(updater, this);
        const ObservedDownload observed(updater, record ? &*record : nullptr);
        ok = updater->downloadFirmware();
    }
    SanitizerHandOver::emitQueued([this] { emit ProgressEvent(static_cast<int>(kDownloadEnd)); });

    if (ok) readBackVersion();
    if (!customFirmware && updater->newFirmwareVersion() == 0)
        updater->setNewFirmwareVersion(kEmbeddedFirmwareVersion);
    // Durable before the window shows the success (and reads the table's last record).
    if (record) record->succeeded(updater->newFirmwareVersion());
    SanitizerHandOver::emitQueued([this, ok] { emit SuccessfulUpdate(!ok); });
}

void UpdaterThread::announceDevice(ServiceRecord* record) {
    DeviceConnection connection(updater->devicePath(), updater->settings());
    const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
    if (record) record->identified(info.serialNumber, info.firmwareVersion(), info.latencyTimerMs);
    // The log is HTML; the serial number is the table's text and gets no say in the markup.
    SanitizerHandOver::emitQueued([this, &info] {
        emit SilentMessage(
            tr("<br>Start update OrbiZo3 with serial number %1", "%1 is Serial number")
                .arg(info.serialNumber.toHtmlEscaped()));
    });
    SanitizerHandOver::emitQueued([this] { emit ProgressEvent(static_cast<int>(kDownloadStart)); });
}

// The download itself succeeded; a table that cannot tell its new version right away is no
// reason to report a failure.
void UpdaterThread::readBackVersion() {
    try {
        DeviceConnection connection(updater->devicePath(), updater->settings());
        const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
        updater->setNewFirmwareVersion(info.firmwareVersion());
    } catch (...) {
    }
}

void UpdaterThread::slotProgressEvent(int xCurrentValue, int xTotalTime) {
    if (xTotalTime <= 0) return;
    const float done = static_cast<float>(xCurrentValue) / static_cast<float>(xTotalTime);
    emit ProgressEvent(static_cast<int>(kDownloadEnd - done * (kDownloadEnd - kDownloadStart)));
}
