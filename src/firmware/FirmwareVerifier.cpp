#include "firmware/FirmwareVerifier.h"

#include "communication/OrbiTableComManager.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/OrbiZo3FirmwareHandle.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

namespace {
// The boot break the download sends after its restart.
constexpr std::uint8_t kBootBreakMode = 0;
}  // namespace

FirmwareVerifier::FirmwareVerifier(const QString& devicePath, const QByteArray& content,
                                   const Korvane::Utilities::RunSettings& settings)
    : firmware(content.begin(), content.end()), connection(devicePath, settings) {
    checkAsTheDownloadDoes(firmware);
}

void FirmwareVerifier::checkAsTheDownloadDoes(const std::vector<std::uint8_t>& content) {
    OrbiZo3FWUpdater::checkFirmware(content);
}

std::vector<FirmwareVerifier::SectorComparison> FirmwareVerifier::compareSectors(
    const SectorReport& report) {
    const auto handle = connection.firmwareHandle();
    handle->load(firmware);
    std::vector<SectorComparison> comparisons;
    try {
        handle->enterBootloader(kBootBreakMode);
        for (std::size_t index = 0; index < handle->sectorCount(); ++index) {
            if (!handle->isPending(index)) continue;
            SectorComparison comparison;
            comparison.sector = static_cast<std::uint16_t>(index);
            comparison.tableSum = handle->readSectorSum(comparison.sector);
            comparison.fileSum = handle->imageSectorSum(comparison.sector);
            comparisons.push_back(comparison);
            if (report) report(comparison);
        }
    } catch (...) {
        // The first failure is the one to report; the restart is only an attempt.
        try {
            handle->checkStandby();
        } catch (...) {
        }
        throw;
    }
    return comparisons;
}

QString FirmwareVerifier::serialNumber() {
    try {
        return QString::fromStdString(connection.manager()->serialNumber());
    } catch (...) {
        return QString();
    }
}

void FirmwareVerifier::restartApplication() {
    connection.firmwareHandle()->checkStandby();
}

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
