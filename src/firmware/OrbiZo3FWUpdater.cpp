#include "firmware/OrbiZo3FWUpdater.h"

#include <QFile>

#include "communication/OrbiTableComInfo.h"
#include "communication/OrbiTableComManager.h"
#include "firmware/DeviceConnection.h"
#include "firmware/FlashSectorImage.h"
#include "firmware/OrbiZo3FirmwareHandle.h"
#include "utilities/DownloadObserver.h"
#include "utilities/ErrorCodes.h"
#include "utilities/KorvaneException.h"
#include "utilities/MessageException.h"
#include "utilities/SanitizerHandOver.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

using Korvane::Utilities::KorvaneException;

OrbiZo3FWUpdater::OrbiZo3FWUpdater(QObject* parent, const Korvane::Utilities::RunSettings& settings)
    : QObject(parent), runSettings(settings) {}

OrbiZo3FWUpdater::~OrbiZo3FWUpdater() = default;

void OrbiZo3FWUpdater::setDevicePath(const QString& newPath) {
    path = newPath;
    newVersion = 0;
}

void OrbiZo3FWUpdater::setFirmwareData(const QByteArray& bytes) {
    firmwareData.assign(bytes.begin(), bytes.end());
}

DeviceInfo OrbiZo3FWUpdater::readDeviceInfo(DeviceConnection& connection) {
    const auto manager = connection.manager();
    DeviceInfo info;
    try {
        std::uint32_t value1 = 0, value2 = 0, value3 = 0;
        manager->infoGroup()->readVersion(value1, value2, value3);
        info.versionValues = {value1, value2, value3};
        info.serialNumber = QString::fromStdString(manager->serialNumber());
        info.latencyTimerMs = manager->latencyTimerMs();
    } catch (const KorvaneException& cause) {
        if (cause.code == Korvane::DeviceDriver::OrbiZo::ErrorCode::ConnectionLost)
            throw disconnected(cause);
        throw versionUnreadable(cause);
    }
    return info;
}

void OrbiZo3FWUpdater::checkFirmwareSize(std::size_t bytes) {
    if (bytes <= kMinimumFirmwareSize)
        throw MessageException(QString(), tr("No valid firmware (%1)").arg(bytes));
}

QByteArray OrbiZo3FWUpdater::readFirmwareFile(const QString& fileName) {
    const auto refuse = [](const QString& text, const QString& reason) {
        MessageException refusal(QString(), text);
        refusal.detail = reason;
        return refusal;
    };
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw refuse(tr("Firmware file not found."), file.errorString());

    // Read in pieces up to one byte past the limit, so that pipes and files that grow while
    // being read are measured by what they deliver, not by what they claimed.
    QByteArray content;
    constexpr qint64 kPiece = 64 * 1024;
    for (;;) {
        const QByteArray piece = file.read(kPiece);
        if (file.error() != QFileDevice::NoError)
            throw refuse(tr("Firmware file could not be read completely."), file.errorString());
        if (piece.isEmpty()) break;
        content += piece;
        if (static_cast<std::size_t>(content.size()) > kMaximumFirmwareFileSize) {
            throw refuse(tr("Firmware file is too large."),
                         tr("larger than %1 bytes").arg(kMaximumFirmwareFileSize));
        }
    }
    return content;
}

void OrbiZo3FWUpdater::checkFirmware(const std::vector<std::uint8_t>& content,
                                     const std::function<void(const FlashSectorImage&)>& loaded) {
    checkFirmwareSize(content.size());
    FlashSectorImage image;
    image.load(content);
    if (loaded) loaded(image);
    OrbiZo3FirmwareHandle::checkImage(image);
}

void OrbiZo3FWUpdater::checkFirmware() const {
    checkFirmware(firmwareData);
}

QByteArray OrbiZo3FWUpdater::readAndCheckFirmwareFile(const QString& fileName) {
    const QByteArray content = readFirmwareFile(fileName);
    checkFirmware(std::vector<std::uint8_t>(content.begin(), content.end()));
    return content;
}

bool OrbiZo3FWUpdater::downloadFirmware() {
    try {
        return runDownload();
    } catch (const KorvaneException& cause) {
        // A table that went away is a disconnect, not a protocol failure.
        if (cause.code != Korvane::DeviceDriver::OrbiZo::ErrorCode::ConnectionLost) throw;
        throw disconnected(cause);
    }
}

MessageException OrbiZo3FWUpdater::versionUnreadable(const KorvaneException& cause) {
    return MessageException(
        QObject::tr("Can't get Firmware version"),
        QObject::tr("Please disconnect and reconnect the OrbiZo3 and try it again."), cause);
}

MessageException OrbiZo3FWUpdater::versionUnreadable(const QString& detail) {
    MessageException failure(
        QObject::tr("Can't get Firmware version"),
        QObject::tr("Please disconnect and reconnect the OrbiZo3 and try it again."));
    failure.detail = detail;
    return failure;
}

MessageException OrbiZo3FWUpdater::disconnected(const KorvaneException& cause) {
    return MessageException(
        QObject::tr("OrbiZo3 disconnected"),
        QObject::tr("Please disconnect and reconnect the OrbiZo3 and try it again."), cause);
}

bool OrbiZo3FWUpdater::runDownload() {
    newVersion = 0;
    // A file the download would refuse must not even open the table.
    checkFirmware();

    DeviceConnection connection(path, runSettings);
    const auto handle = connection.firmwareHandle();
    handle->load(firmwareData);
    const std::uint32_t total = handle->progressValue();
    if (downloadObserver) downloadObserver->aboutToChangeTable();
    handle->prepareDevice();
    for (std::uint16_t sector = 0; sector < handle->sectorCount(); ++sector) {
        // In the window it reaches the worker object on the GUI thread, queued.
        Korvane::Utilities::SanitizerHandOver::emitQueued([&] {
            emit ProgressEvent(static_cast<int>(handle->progressValue()), static_cast<int>(total));
        });
        const bool pending = handle->isPending(sector);
        try {
            handle->programSector(sector);
        } catch (const KorvaneException& failure) {
            // The table took the sector's bytes but its sum did not match.
            if (pending && downloadObserver &&
                failure.code == Korvane::DeviceDriver::OrbiZo::ErrorCode::ChecksumErrorInSector)
                downloadObserver->sectorWritten(sector);
            throw;
        }
        if (pending && downloadObserver) {
            // programSector returned: the table's sum equalled the image's.
            downloadObserver->sectorWritten(sector);
            downloadObserver->sectorConfirmed(sector, handle->imageSectorSum(sector));
        }
    }
    handle->checkStandby();
    return true;
}

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
