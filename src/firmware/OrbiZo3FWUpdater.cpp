#include "firmware/OrbiZo3FWUpdater.h"

#include "communication/OrbiTableComInfo.h"
#include "communication/OrbiTableComManager.h"
#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FirmwareHandle.h"
#include "utilities/ErrorCodes.h"
#include "utilities/KorvaneException.h"
#include "utilities/MessageException.h"

using Korvane::Utilities::KorvaneException;

OrbiZo3FWUpdater::OrbiZo3FWUpdater(QObject* parent) : QObject(parent) {}

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
    } catch (const KorvaneException& cause) {
        if (cause.code == Korvane::DeviceDriver::OrbiZo::ErrorCode::ConnectionLost)
            throw disconnected(cause);
        throw MessageException(
            QObject::tr("Can't get Firmware version"),
            QObject::tr("Please disconnect and reconnect the OrbiZo3 and try it again."), cause);
    }
    return info;
}

void OrbiZo3FWUpdater::checkFirmwareSize(std::size_t bytes) {
    if (bytes <= kMinimumFirmwareSize)
        throw MessageException(QString(), tr("No valid firmware (%1)").arg(bytes));
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

MessageException OrbiZo3FWUpdater::disconnected(const KorvaneException& cause) {
    return MessageException(
        QObject::tr("OrbiZo3 disconnected"),
        QObject::tr("Please disconnect and reconnect the OrbiZo3 and try it again."), cause);
}

bool OrbiZo3FWUpdater::runDownload() {
    newVersion = 0;
    checkFirmwareSize(firmwareData.size());

    DeviceConnection connection(path);
    const auto handle = connection.firmwareHandle();
    handle->load(firmwareData);
    const std::uint32_t total = handle->progressValue();
    handle->prepareDevice();
    for (std::uint16_t sector = 0; sector < handle->sectorCount(); ++sector) {
        emit ProgressEvent(static_cast<int>(handle->progressValue()), static_cast<int>(total));
        handle->programSector(sector);
    }
    handle->checkStandby();
    return true;
}
